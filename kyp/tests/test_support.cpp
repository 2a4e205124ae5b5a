// Helpers of the template store tests: documents through the registered library, raw stream access.
#include "test_support.h"

#include <cstdlib>
#include <cstring>

namespace kyptest {

namespace fs = std::filesystem;

Bstr TempDir::file(const std::string& name) const { return Bstr(xcom::Utf8ToUtf16(path(name).string())); }

std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

ComPtr<IVemraKYP> NewRoot() {
  ComPtr<IVemraKYP> root;
  HRESULT hr = xcom::CreateInstance(CLSID_VemraKYP, &root);
  EXPECT_EQ(hr, S_OK) << "the document root is not registered";
  return root;
}

ComPtr<IVemraKYP> OpenDocument(const Bstr& file) {
  ComPtr<IVemraKYP> root = NewRoot();
  if (root) {
    EXPECT_EQ(root->put_DocName(file.Get()), S_OK);
  }
  return root;
}

ComPtr<IOItemDef> DefineItem(IVemraKYP* root, const std::u16string& name,
                             std::initializer_list<std::pair<std::u16string, SHORT>> fields) {
  ComPtr<IOItemDefs> defs;
  EXPECT_EQ(root->get_ItemDefs(defs.GetAddressOf()), S_OK);
  ComPtr<IOItemDef> def;
  EXPECT_EQ(defs->CreateItemDef(Bstr(name).Get(), def.GetAddressOf()), S_OK);
  if (!def) return def;
  ComPtr<IOFields> list;
  EXPECT_EQ(def->get_Fields(list.GetAddressOf()), S_OK);
  for (const auto& [fieldName, type] : fields) {
    ComPtr<IOField> field;
    EXPECT_EQ(list->Add(Bstr(fieldName).Get(), type, 0, field.GetAddressOf()), S_OK);
  }
  EXPECT_EQ(defs->Append(def.Get()), S_OK);
  return def;
}

ComPtr<IONode> CreateNode(IONodes* nodes, const std::u16string& name, const std::u16string& itemDef) {
  ComPtr<IONode> node;
  EXPECT_EQ(nodes->CreateNode(Bstr(name).Get(), Bstr(itemDef).Get(), node.GetAddressOf()), S_OK);
  return node;
}

ComPtr<IONodes> Children(IONode* node) {
  ComPtr<IONodes> nodes;
  EXPECT_EQ(node->get_Nodes(nodes.GetAddressOf()), S_OK);
  return nodes;
}

ComPtr<IONodes> TopNodes(IVemraKYP* root) {
  ComPtr<IONodes> nodes;
  EXPECT_EQ(root->get_Nodes(nodes.GetAddressOf()), S_OK);
  return nodes;
}

ComPtr<IOField> FieldAt(IONode* node, LONG position) {
  ComPtr<IOFields> fields;
  EXPECT_EQ(node->get_Fields(fields.GetAddressOf()), S_OK);
  ComPtr<IOField> field;
  if (fields) {
    EXPECT_EQ(fields->Item(Variant::I4(position), field.GetAddressOf()), S_OK);
  }
  return field;
}

HRESULT LoadNode(IVemraKYP* root, const std::u16string& path, ComPtr<IONode>* node) {
  return TopNodes(root)->Item(Variant::String(path), node->ReleaseAndGetAddressOf());
}

Variant FieldValue(IOField* field) {
  VARIANT v;
  VariantInit(&v);
  EXPECT_EQ(field->get_Value(&v), S_OK);
  Variant out(v);
  VariantClear(&v);
  return out;
}

Variant ValueOf(IONode* node, LONG position) {
  ComPtr<IOField> field = FieldAt(node, position);
  return field ? FieldValue(field.Get()) : Variant();
}

HRESULT SetValue(IONode* node, LONG position, const VARIANT& value) {
  ComPtr<IOField> field = FieldAt(node, position);
  if (!field) return E_FAIL;
  return field->put_Value(value);
}

LONG CountOf(IONodes* nodes) {
  LONG n = -1;
  EXPECT_EQ(nodes->get_Count(&n), S_OK);
  return n;
}

Variant Str(std::u16string_view s) { return Variant::String(s); }

Variant NullStr() {
  Variant v;
  v.vt = VT_BSTR;
  v.bstrVal = nullptr;
  return v;
}

Variant Bool(bool b) { return Variant::Bool(b); }

Variant ByteArray(const Bytes& bytes) {
  SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  if (!bytes.empty()) std::memcpy(sa->pvData, bytes.data(), bytes.size());
  return Variant::Adopt(VT_ARRAY | VT_UI1, sa);
}

Bytes BytesOf(const VARIANT& v) {
  if (v.vt != (VT_ARRAY | VT_UI1) || !v.parray) {
    ADD_FAILURE() << "not a byte array: vt " << v.vt;
    return {};
  }
  const auto* p = static_cast<const std::uint8_t*>(v.parray->pvData);
  return Bytes(p, p + v.parray->rgsabound[0].cElements);
}

namespace {

struct OpenedPath {
  ComPtr<IStorage> root;
  std::vector<ComPtr<IStorage>> chain;
  IStorage* last() const { return chain.empty() ? root.Get() : chain.back().Get(); }
};

bool OpenPath(const fs::path& file, const std::vector<std::u16string>& storages, OpenedPath* out) {
  std::u16string name = xcom::Utf8ToUtf16(file.string());
  HRESULT hr = StgOpenStorage(name.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                              out->root.GetAddressOf());
  if (FAILED(hr)) {
    ADD_FAILURE() << "cannot open " << file << ": " << std::hex << hr;
    return false;
  }
  for (const auto& s : storages) {
    ComPtr<IStorage> next;
    hr = out->last()->OpenStorage(s.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                  next.GetAddressOf());
    if (FAILED(hr)) {
      ADD_FAILURE() << "no storage on the path: " << std::hex << hr;
      return false;
    }
    out->chain.push_back(next);
  }
  return true;
}

void Release(OpenedPath& p) {
  while (!p.chain.empty()) p.chain.pop_back();
  p.root.Reset();
}

}  // namespace

Bytes ReadStream(const fs::path& file, const std::vector<std::u16string>& storages,
                 const std::u16string& stream) {
  OpenedPath p;
  Bytes bytes;
  if (!OpenPath(file, storages, &p)) return bytes;
  ComPtr<IStream> s;
  HRESULT hr = p.last()->OpenStream(stream.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, s.GetAddressOf());
  if (FAILED(hr)) {
    ADD_FAILURE() << "no stream: " << std::hex << hr;
  } else {
    STATSTG st{};
    s->Stat(&st, STATFLAG_NONAME);
    bytes.resize(st.cbSize.QuadPart);
    ULONG got = 0;
    if (!bytes.empty()) s->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got);
    EXPECT_EQ(got, bytes.size());
  }
  s.Reset();
  Release(p);
  return bytes;
}

void WriteStream(const fs::path& file, const std::vector<std::u16string>& storages,
                 const std::u16string& stream, const Bytes& bytes) {
  OpenedPath p;
  if (!OpenPath(file, storages, &p)) return;
  ComPtr<IStream> s;
  ASSERT_EQ(p.last()->CreateStream(stream.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                   s.GetAddressOf()),
            S_OK);
  ULONG written = 0;
  if (!bytes.empty()) {
    ASSERT_EQ(s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written), S_OK);
  }
  s.Reset();
  Release(p);
}

void AddElement(const fs::path& file, const std::vector<std::u16string>& storages, const std::u16string& name,
                bool storage) {
  OpenedPath p;
  if (!OpenPath(file, storages, &p)) return;
  constexpr DWORD mode = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
  if (storage) {
    ComPtr<IStorage> s;
    EXPECT_EQ(p.last()->CreateStorage(name.c_str(), mode, 0, 0, s.GetAddressOf()), S_OK);
  } else {
    ComPtr<IStream> s;
    EXPECT_EQ(p.last()->CreateStream(name.c_str(), mode, 0, 0, s.GetAddressOf()), S_OK);
  }
  Release(p);
}

void PutI16(Bytes& b, int v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutI32(Bytes& b, std::int64_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutI64(Bytes& b, std::int64_t v) {
  for (int i = 0; i < 8; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutString(Bytes& b, const std::u16string& s) {
  PutI32(b, static_cast<std::int64_t>(s.size() * 2 + 2));
  for (char16_t c : s) PutI16(b, c);
  PutI16(b, 0);
}

}  // namespace kyptest
