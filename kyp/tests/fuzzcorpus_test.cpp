// The template fuzz target's walk over small templates made here (its seeds) and over its
// saved corpus of hostile ones. XENDORA_FUZZ_SEEDS=<folder> saves the seeds there for a fuzz run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "internal.h"
#include "kyp.h"
#include "root.h"
#include "templatewalk.h"

namespace {

namespace fs = std::filesystem;
using xcom::Bstr;
using xcom::ComPtr;

// A designer-shaped template: two definitions (text, and one field of each kind of value)
// and nodes two levels deep with values.
void WriteSeed(const fs::path& file) {
  ComPtr<kyp::VemraKYP> root;
  ASSERT_EQ(xcom::MakeComponent(kyp::Module(), &root), S_OK);
  ASSERT_EQ(root->put_DocName(Bstr(file.u16string()).Get()), S_OK);
  ComPtr<IOItemDefs> defs;
  ASSERT_EQ(root->get_ItemDefs(defs.GetAddressOf()), S_OK);
  struct Def {
    const char16_t* name;
    std::vector<std::pair<const char16_t*, SHORT>> fields;
  } kinds[] = {
      {u"Text", {{u"Text", 8}, {u"Left", 6}, {u"Bold", 2}}},
      {u"All", {{u"I2", 0}, {u"I4", 3}, {u"R4", 5}, {u"Byte", 7}, {u"Date", 9}, {u"List", 10}, {u"Picture", 11}}},
  };
  for (const Def& d : kinds) {
    ComPtr<IOItemDef> def;
    ASSERT_EQ(defs->CreateItemDef(Bstr(d.name).Get(), def.GetAddressOf()), S_OK);
    ComPtr<IOFields> fields;
    ASSERT_EQ(def->get_Fields(fields.GetAddressOf()), S_OK);
    for (const auto& [name, type] : d.fields) {
      ComPtr<IOField> f;
      ASSERT_EQ(fields->Add(Bstr(name).Get(), type, 0, f.GetAddressOf()), S_OK);
    }
    ASSERT_EQ(defs->Append(def.Get()), S_OK);
  }
  ComPtr<IONodes> top;
  ASSERT_EQ(root->get_Nodes(top.GetAddressOf()), S_OK);
  for (const char16_t* name : {u"Label", u"Other"}) {
    ComPtr<IONode> node;
    ASSERT_EQ(top->CreateNode(Bstr(name).Get(), Bstr(u"Text").Get(), node.GetAddressOf()), S_OK);
    ComPtr<IOFields> fields;
    ASSERT_EQ(node->get_Fields(fields.GetAddressOf()), S_OK);
    ComPtr<IOField> text;
    ASSERT_EQ(fields->Item(xcom::Variant::I4(1), text.GetAddressOf()), S_OK);
    ASSERT_EQ(text->put_Value(xcom::Variant::String(u"caf\u00e9 label")), S_OK);
    ASSERT_EQ(top->Append(node.Get()), S_OK);
    ComPtr<IONodes> children;
    ASSERT_EQ(node->get_Nodes(children.GetAddressOf()), S_OK);
    ComPtr<IONode> child;
    ASSERT_EQ(children->CreateNode(Bstr(u"Field0").Get(), Bstr(u"Text").Get(), child.GetAddressOf()), S_OK);
    ComPtr<IOFields> all;
    ASSERT_EQ(child->get_Fields(all.GetAddressOf()), S_OK);
    ComPtr<IOField> left;
    ASSERT_EQ(all->Item(xcom::Variant::I4(2), left.GetAddressOf()), S_OK);
    ASSERT_EQ(left->put_Value(xcom::Variant::I4(42)), S_OK);
    ASSERT_EQ(children->Append(child.Get()), S_OK);
  }
}

std::vector<std::uint8_t> ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(FuzzCorpus, SeedTemplateWalks) {
  const fs::path dir = fs::temp_directory_path() / ("kypseed-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path seed = dir / "designer.dkt";
  WriteSeed(seed);
  const std::vector<std::uint8_t> bytes = ReadAll(seed);
  EXPECT_GT(bytes.size(), 512u);
  kypfuzz::RunOne(bytes.data(), bytes.size());
  if (const char* save = std::getenv("XENDORA_FUZZ_SEEDS")) {
    fs::create_directories(save);
    fs::copy_file(seed, fs::path(save) / seed.filename(), fs::copy_options::overwrite_existing);
  }
  fs::remove_all(dir);
}

TEST(FuzzCorpus, SavedInputsWalk) {
  int n = 0;
  for (const auto& entry : fs::directory_iterator(FUZZ_CORPUS_DIR)) {
    SCOPED_TRACE(entry.path().filename().string());
    const std::vector<std::uint8_t> bytes = ReadAll(entry.path());
    kypfuzz::RunOne(bytes.data(), bytes.size());
    ++n;
  }
  EXPECT_GT(n, 0);
}
