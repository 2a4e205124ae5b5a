// What the classes of the template store share: the object count, open modes and small helpers.
#include "internal.h"

namespace kyp {

xcom::ServerModule& Module() {
  static xcom::ServerModule module;
  return module;
}

HRESULT CopyOut(const xcom::Bstr& value, BSTR* out) {
  *out = nullptr;
  if (value.IsNull()) return S_OK;
  *out = SysAllocStringLen(value.Get(), value.Length());
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CopyIn(BSTR value, xcom::Bstr* held) {
  if (!value) {
    held->Reset();
    return S_OK;
  }
  BSTR copy = SysAllocStringLen(value, SysStringLen(value));
  if (!copy) return E_OUTOFMEMORY;
  held->Attach(copy);
  return S_OK;
}

namespace {
const VARIANT& Deref(const VARIANT& v) {
  if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal) return *v.pvarVal;
  return v;
}
}  // namespace

bool IndexPosition(const VARIANT& index, LONG* position) {
  const VARIANT& v = Deref(index);
  switch (v.vt) {
    case VT_I2: *position = v.iVal; return true;
    case VT_I4: *position = v.lVal; return true;
    case VT_BYREF | VT_I2: if (!v.piVal) return false; *position = *v.piVal; return true;
    case VT_BYREF | VT_I4: if (!v.plVal) return false; *position = *v.plVal; return true;
    default: return false;
  }
}

bool IndexString(const VARIANT& index, std::u16string_view* text) {
  const VARIANT& v = Deref(index);
  if (v.vt == VT_BSTR) {
    *text = View(v.bstrVal);
    return true;
  }
  if (v.vt == (VT_BYREF | VT_BSTR) && v.pbstrVal) {
    *text = View(*v.pbstrVal);
    return true;
  }
  return false;
}

DocSession::~DocSession() { Close(S_OK); }

HRESULT DocSession::Open() {
  HRESULT hr = store_->OpenDoc(nullptr, &already_, root_.ReleaseAndGetAddressOf());
  open_ = SUCCEEDED(hr);
  return hr;
}

HRESULT DocSession::GoTo(BSTR path, ComPtr<IStorage>* folder) {
  if (SysStringLen(path) == 0) {
    *folder = root_;
    return S_OK;
  }
  return store_->SetCurrentFolder(path, kypFolderPath, folder->ReleaseAndGetAddressOf());
}

HRESULT DocSession::OpenAt(BSTR path, ComPtr<IStorage>* folder) {
  HRESULT hr = Open();
  return SUCCEEDED(hr) ? GoTo(path, folder) : hr;
}

HRESULT DocSession::Close(HRESULT result) {
  root_.Reset();
  if (!open_) return result;
  open_ = false;
  if (already_) return result;
  HRESULT closed = store_->CloseDoc();
  return SUCCEEDED(result) ? closed : result;
}

}  // namespace kyp
