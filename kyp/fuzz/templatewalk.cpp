// The template store's walk over a hostile template: definitions, fields, nodes and values.
#include "templatewalk.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "cfb.h"
#include "internal.h"
#include "kyp.h"
#include "root.h"
#include "unicode.h"
#include "walk.h"

namespace kypfuzz {

namespace {

using xcom::Bstr;
using xcom::ComPtr;

// Bounds that keep one input's walk short whatever the file claims.
constexpr int kMaxDepth = 8;
constexpr std::size_t kMaxNodes = 300;
constexpr LONG kMaxItems = 200;

void Drop(BSTR s) { SysFreeString(s); }

// The node paths of the file: every storage below the root, found through the compound
// files directly, as a designer's tree would name them.
void Storages(IStorage* stg, const std::u16string& path, int depth, std::vector<std::u16string>& out) {
  if (depth > kMaxDepth || out.size() >= kMaxNodes) return;
  ComPtr<IEnumSTATSTG> e;
  if (FAILED(stg->EnumElements(0, nullptr, 0, e.GetAddressOf()))) return;
  STATSTG st;
  ULONG got = 0;
  while (out.size() < kMaxNodes && e->Next(1, &st, &got) == S_OK && got == 1) {
    std::u16string name(st.pwcsName);
    std::free(st.pwcsName);
    if (st.type != STGTY_STORAGE) continue;
    const std::u16string full = path.empty() ? name : path + u"/" + name;
    out.push_back(full);
    ComPtr<IStorage> sub;
    if (SUCCEEDED(stg->OpenStorage(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                   sub.GetAddressOf()))) {
      Storages(sub.Get(), full, depth + 1, out);
    }
  }
}

void Fields(IOFields* fields) {
  LONG count = 0;
  if (!fields || FAILED(fields->get_Count(&count))) return;
  for (LONG i = 1; i <= count && i <= kMaxItems; ++i) {
    ComPtr<IOField> f;
    if (FAILED(fields->Item(xcom::Variant::I4(i), f.GetAddressOf())) || !f) continue;
    BSTR name = nullptr;
    f->get_Name(&name);
    Drop(name);
    SHORT type = 0;
    f->get_Type(&type);
    ULONG size = 0;
    f->get_Size(&size);
    VARIANT value;
    VariantInit(&value);
    f->get_Value(&value);
    VariantClear(&value);
  }
}

}  // namespace

void Walk(const std::string& path) {
  const Bstr file(unicode::Utf8ToUtf16(path, unicode::Policy::kLossless));
  std::vector<std::u16string> nodes;
  {
    ComPtr<IStorage> raw;
    if (FAILED(StgOpenStorage(file.Get(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, raw.GetAddressOf()))) {
      return;
    }
    Storages(raw.Get(), u"", 0, nodes);
  }

  ComPtr<kyp::VemraKYP> root;
  if (FAILED(xcom::MakeComponent(kyp::Module(), &root))) return;
  if (FAILED(root->put_DocName(file.Get()))) return;
  ComPtr<IOItemDefs> defs;
  LONG count = 0;
  if (SUCCEEDED(root->get_ItemDefs(defs.GetAddressOf())) && defs && SUCCEEDED(defs->get_Count(&count))) {
    for (LONG i = 1; i <= count && i <= kMaxItems; ++i) {
      ComPtr<IOItemDef> def;
      if (FAILED(defs->Item(xcom::Variant::I4(i), def.GetAddressOf())) || !def) continue;
      BSTR name = nullptr;
      def->get_Name(&name);
      Drop(name);
      ComPtr<IOFields> fields;
      if (SUCCEEDED(def->get_Fields(fields.GetAddressOf()))) Fields(fields.Get());
    }
  }
  ComPtr<IONodes> top;
  if (FAILED(root->get_Nodes(top.GetAddressOf())) || !top) return;
  top->get_Count(&count);
  for (const std::u16string& nodePath : nodes) {
    ComPtr<IONode> node;
    if (FAILED(top->Item(xcom::Variant::String(nodePath), node.GetAddressOf())) || !node) continue;
    for (auto get : {&IONode::get_Name, &IONode::get_Caption, &IONode::get_ItemDef, &IONode::get_FullPath}) {
      BSTR s = nullptr;
      (node.Get()->*get)(&s);
      Drop(s);
    }
    SHORT picture = 0;
    node->get_Picture(&picture);
    ComPtr<IOFields> fields;
    if (SUCCEEDED(node->get_Fields(fields.GetAddressOf()))) Fields(fields.Get());
    ComPtr<IONodes> children;
    if (SUCCEEDED(node->get_Nodes(children.GetAddressOf())) && children) children->get_Count(&count);
  }
}

void RunOne(const std::uint8_t* data, std::size_t size) {
  const std::string path = cfbfuzz::ScratchInput(data, size, "input.dkt");
  Walk(path);
  cfbfuzz::RemoveScratch(path);
}

}  // namespace kypfuzz
