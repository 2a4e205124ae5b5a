// The table-driven IDispatch: member lookup by dispatch id and name, argument conversion,
// out parameters and return values, and the mapping of a member's failure.
#include "xcom/dispatch.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "internal.h"

namespace xcom {

using internal::FoldAscii;
using internal::ValueSize;

// ---------------------------------------------------------------------------------------------
// InvokeFrame

VARIANT* InvokeFrame::Arg(UINT i) const { return &dp_->rgvarg[dp_->cArgs - 1 - i]; }

HRESULT InvokeFrame::ArgumentError(UINT i, HRESULT hr) {
  argFailed_ = true;
  argErr_ = dp_->cArgs - 1 - i;
  return hr;
}

HRESULT InvokeFrame::LoadIn(UINT i, VARIANT* out) {
  const VARIANT* arg = Arg(i);
  VARTYPE vt = params_[i].vt;
  HRESULT hr;
  if (vt == VT_VARIANT) {
    hr = VariantCopyInd(out, arg);
  } else if (arg->vt == VT_ERROR && arg->scode == DISP_E_PARAMNOTFOUND && vt != VT_ERROR) {
    hr = DISP_E_PARAMNOTOPTIONAL;  // a missing argument for a parameter that needs one
  } else {
    hr = VariantChangeType(out, arg, 0, vt);
  }
  if (FAILED(hr)) {
    if (hr != DISP_E_OVERFLOW && hr != E_OUTOFMEMORY && hr != DISP_E_PARAMNOTOPTIONAL) hr = DISP_E_TYPEMISMATCH;
    return ArgumentError(i, hr);
  }
  return S_OK;
}

HRESULT InvokeFrame::CheckOut(UINT i) {
  if (params_[i].dir == ParamDir::Retval) return S_OK;
  const VARIANT* arg = Arg(i);
  VARTYPE base = arg->vt & ~VT_BYREF;
  if ((arg->vt & VT_BYREF) && arg->byref && (base == params_[i].vt || base == VT_VARIANT)) return S_OK;
  return ArgumentError(i, DISP_E_TYPEMISMATCH);
}

void InvokeFrame::StoreOut(UINT i, VARIANT* value) {
  if (params_[i].dir == ParamDir::Retval) {
    if (result_) {
      *result_ = *value;
      VariantInit(value);
    } else {
      VariantClear(value);
    }
    return;
  }
  VARIANT* arg = Arg(i);
  VARTYPE base = arg->vt & ~VT_BYREF;
  if (base == VT_VARIANT) {
    VariantClear(arg->pvarVal);
    *arg->pvarVal = *value;
  } else {
    // The caller's variable of the parameter's own type: its old value goes now.
    if (base == VT_BSTR) {
      SysFreeString(*arg->pbstrVal);
    } else if ((base == VT_UNKNOWN || base == VT_DISPATCH) && *arg->ppunkVal) {
      (*arg->ppunkVal)->Release();
    }
    std::memcpy(arg->byref, &value->llVal, ValueSize(base));
  }
  VariantInit(value);
}

// ---------------------------------------------------------------------------------------------
// The table

namespace {

constexpr int KindIndex(MemberKind k) { return static_cast<int>(k); }

std::u16string FoldName(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& c : folded) c = FoldAscii(c);
  return folded;
}

[[noreturn]] void BadTable(const char* what, const char* name) {
  std::fprintf(stderr, "dispatch table: %s (member \"%s\")\n", what, name);
  std::abort();
}

}  // namespace

struct DispatchTableCore::Index {
  std::vector<DispatchMemberDef> members;
  std::unordered_map<DISPID, std::array<int, 4>> byId;  // member index per kind, -1 for none
  std::unordered_map<std::u16string, DISPID> byName;     // folded name
  std::unordered_map<DISPID, std::u16string> nameOfId;
};

DispatchTableCore::DispatchTableCore(std::span<const DispatchMemberDef> members) : index_(new Index) {
  index_->members.assign(members.begin(), members.end());
  for (std::size_t k = 0; k < index_->members.size(); ++k) {
    const DispatchMemberDef& m = index_->members[k];
    std::u16string folded = FoldName(Utf8ToUtf16(m.name));
    auto [byName, newName] = index_->byName.emplace(folded, m.dispid);
    if (!newName && byName->second != m.dispid) BadTable("one name with two dispatch ids", m.name);
    auto [nameOfId, newId] = index_->nameOfId.emplace(m.dispid, folded);
    if (!newId && nameOfId->second != folded) BadTable("one dispatch id with two names", m.name);
    auto& slots = index_->byId.try_emplace(m.dispid, std::array<int, 4>{-1, -1, -1, -1}).first->second;
    int& slot = slots[KindIndex(m.kind)];
    if (slot >= 0) BadTable("a member declared twice", m.name);
    slot = static_cast<int>(k);
    if (m.kind == MemberKind::Method &&
        (slots[KindIndex(MemberKind::PropertyGet)] >= 0 || slots[KindIndex(MemberKind::PropertyPut)] >= 0 ||
         slots[KindIndex(MemberKind::PropertyPutRef)] >= 0))
      BadTable("a method and a property share a dispatch id", m.name);
    if (m.kind != MemberKind::Method && slots[KindIndex(MemberKind::Method)] >= 0)
      BadTable("a method and a property share a dispatch id", m.name);
  }
}

DispatchTableCore::~DispatchTableCore() = default;

HRESULT DispatchTableCore::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                                         DISPID* rgDispId) const {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (cNames == 0) return S_OK;
  if (!rgszNames || !rgDispId) return E_INVALIDARG;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
  if (!rgszNames[0]) return E_INVALIDARG;
  std::u16string_view name(rgszNames[0]);
  auto it = index_->byName.find(FoldName(name));
  if (it == index_->byName.end()) return DISP_E_UNKNOWNNAME;
  rgDispId[0] = it->second;
  if (cNames > 1) hr = DISP_E_UNKNOWNNAME;  // parameter names are not served
  return hr;
}

HRESULT DispatchTableCore::Invoke(void* self, DISPID dispIdMember, REFIID riid, LCID, WORD wFlags,
                                  DISPPARAMS* dp, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                  UINT* puArgErr) const {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (!dp) return E_INVALIDARG;
  if ((dp->cArgs > 0 && !dp->rgvarg) || dp->cNamedArgs > dp->cArgs || (dp->cNamedArgs > 0 && !dp->rgdispidNamedArgs))
    return E_INVALIDARG;
  if (pVarResult) VariantInit(pVarResult);

  auto found = index_->byId.find(dispIdMember);
  if (found == index_->byId.end()) return DISP_E_MEMBERNOTFOUND;
  const auto& slots = found->second;
  int k = -1;
  bool put = false;
  if (wFlags & DISPATCH_PROPERTYPUT) {
    k = slots[KindIndex(MemberKind::PropertyPut)];
    put = true;
  }
  if (k < 0 && (wFlags & DISPATCH_PROPERTYPUTREF)) {
    k = slots[KindIndex(MemberKind::PropertyPutRef)];
    put = true;
  }
  if (k < 0 && !put && (wFlags & DISPATCH_METHOD)) k = slots[KindIndex(MemberKind::Method)];
  if (k < 0 && !put && (wFlags & DISPATCH_PROPERTYGET)) k = slots[KindIndex(MemberKind::PropertyGet)];
  if (k < 0) return DISP_E_MEMBERNOTFOUND;
  const DispatchMemberDef& m = index_->members[static_cast<std::size_t>(k)];

  if (put) {
    if (dp->cNamedArgs == 0) return DISP_E_PARAMNOTFOUND;
    if (dp->cNamedArgs != 1 || dp->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) return DISP_E_NONAMEDARGS;
  } else if (dp->cNamedArgs != 0) {
    return DISP_E_NONAMEDARGS;
  }
  UINT expected = m.paramCount;
  if (expected > 0 && m.params[expected - 1].dir == ParamDir::Retval) --expected;
  if (dp->cArgs != expected) return DISP_E_BADPARAMCOUNT;

  InvokeFrame frame(m.params.data(), dp, pVarResult);
  HRESULT hr;
  try {
    hr = m.thunk(self, frame);
  } catch (const std::bad_alloc&) {
    hr = E_OUTOFMEMORY;
  } catch (...) {
    hr = E_UNEXPECTED;
  }
  if (frame.argumentFailed()) {
    if (puArgErr) *puArgErr = frame.failedArgument();
    return hr;
  }
  if (FAILED(hr) && pExcepInfo) {
    std::memset(pExcepInfo, 0, sizeof *pExcepInfo);
    pExcepInfo->scode = hr;
    return DISP_E_EXCEPTION;
  }
  return hr;
}

// ---------------------------------------------------------------------------------------------

HRESULT CallDispatch(IDispatch* target, DISPID dispid, WORD flags, std::span<VARIANT> args,
                     VARIANT* pResult, EXCEPINFO* pExcepInfo) {
  if (!target) return E_POINTER;
  bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  if (put && args.empty()) return E_INVALIDARG;
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS dp{reversed.data(), put ? &named : nullptr, static_cast<UINT>(reversed.size()), put ? 1u : 0u};
  UINT argErr = 0;
  return target->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, pResult, pExcepInfo, &argErr);
}

void ClearExcepInfo(EXCEPINFO* info) {
  if (!info) return;
  SysFreeString(info->bstrSource);
  SysFreeString(info->bstrDescription);
  SysFreeString(info->bstrHelpFile);
  std::memset(info, 0, sizeof *info);
}

}  // namespace xcom
