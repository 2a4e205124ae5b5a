// Damaged template files: every count read from a stream is checked against what the stream
// holds, so a truncated or hostile stream fails with a status and nothing half-read is kept.
#include "test_support.h"

namespace kyptest {
namespace {

namespace fs = std::filesystem;

// A valid template: definitions "Text" (string, double) and "All" (any, array, picture),
// with nodes "N" (Text) and "M" (All).
void WriteValidTemplate(const Bstr& file) {
  ComPtr<IVemraKYP> root = OpenDocument(file);
  DefineItem(root.Get(), u"Text", {{u"Text", 8}, {u"Left", 6}});
  DefineItem(root.Get(), u"All", {{u"V", 8}, {u"A", 10}, {u"P", 11}});
  ComPtr<IONodes> top = TopNodes(root.Get());
  ComPtr<IONode> n = CreateNode(top.Get(), u"N", u"Text");
  ASSERT_EQ(SetValue(n.Get(), 1, Str(u"abc")), S_OK);
  ASSERT_EQ(SetValue(n.Get(), 2, Variant::R8(1.5)), S_OK);
  ASSERT_EQ(top->Append(n.Get()), S_OK);
  ComPtr<IONode> m = CreateNode(top.Get(), u"M", u"All");
  SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  ASSERT_EQ(SetValue(m.Get(), 1, Variant::I4(9)), S_OK);
  ASSERT_EQ(SetValue(m.Get(), 2, Variant::Adopt(VT_ARRAY | VT_VARIANT, sa)), S_OK);
  ASSERT_EQ(SetValue(m.Get(), 3, ByteArray({'G', 'I', 'F', '8', '9', 'a'})), S_OK);
  ASSERT_EQ(top->Append(m.Get()), S_OK);
}

// A copy of the valid template with one stream replaced.
Bstr Damaged(const TempDir& dir, const std::vector<std::u16string>& storages, const std::u16string& stream,
             const Bytes& bytes) {
  fs::path copy = dir.path("copy.dkt");
  fs::copy_file(dir.path("valid.dkt"), copy, fs::copy_options::overwrite_existing);
  WriteStream(copy, storages, stream, bytes);
  return dir.file("copy.dkt");
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
Bytes I16(int v) { Bytes b; PutI16(b, v); return b; }
Bytes I32(std::int64_t v) { Bytes b; PutI32(b, v); return b; }
Bytes I64(std::int64_t v) { Bytes b; PutI64(b, v); return b; }
Bytes S(const std::u16string& s) { Bytes b; PutString(b, s); return b; }

TEST(CorruptFile, DefinitionListsThatDoNotHoldTogether) {
  struct Case {
    const char* name;
    Bytes stream;
  };
  const Bytes field = Join({I16(8), I64(0), S(u"Text")});
  const Case cases[] = {
      {"one byte", {0x01}},
      {"name longer than the stream", Join({I16(1), I32(0xFFFFFFF0)})},
      {"name of an odd byte count", Join({I16(1), I32(3), {'a', 0, 0}, I32(0)})},
      {"name without its zero unit", Join({I16(1), I32(4), {'a', 0, 'b', 0}, I32(0)})},
      {"field count beyond the stream", Join({I16(1), S(u"Text"), I32(0x7FFFFFFF), field})},
      {"negative field count", Join({I16(1), S(u"Text"), I32(-1)})},
      {"negative definition count", Join({I16(-1), S(u"Text"), I32(0)})},
      {"second definition missing", Join({I16(2), S(u"Text"), I32(1), field})},
      {"field record cut short", Join({I16(1), S(u"Text"), I32(1), I16(8), I64(0)})},
  };
  TempDir dir;
  WriteValidTemplate(dir.file("valid.dkt"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bstr file = Damaged(dir, {}, u"__ITEMDEF0__", c.stream);
    ComPtr<IVemraKYP> root = NewRoot();
    EXPECT_EQ(root->put_DocName(file.Get()), E_FAIL);
    ComPtr<IOItemDefs> defs;
    root->get_ItemDefs(defs.GetAddressOf());
    LONG n = -1;
    defs->get_Count(&n);
    EXPECT_EQ(n, 0);  // nothing half-read is kept
  }
}

TEST(CorruptFile, NodeStreamsThatDoNotHoldTogether) {
  struct Case {
    const char* name;
    std::u16string node;
    std::u16string stream;
    Bytes bytes;
    HRESULT expected;
  };
  GUID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  Bytes unknownId = Join({I32(unknown.Data1), I16(unknown.Data2), I16(unknown.Data3),
                          Bytes(unknown.Data4, unknown.Data4 + 8)});
  const Case cases[] = {
      {"header of one byte", u"N", u"__NODE_HEADER_", {0x00}, E_FAIL},
      {"header name beyond the stream", u"N", u"__NODE_HEADER_", Join({I16(0), I32(0x40000000)}), E_FAIL},
      {"values cut inside a string", u"N", u"__NODE_DATA_", Join({I16(VT_BSTR), I32(8), {'a', 0}}), E_FAIL},
      {"second value missing", u"N", u"__NODE_DATA_", Join({I16(VT_BSTR), S(u"abc")}), E_FAIL},
      {"string count beyond the stream", u"N", u"__NODE_DATA_", Join({I16(VT_BSTR), I32(0xFFFFFFFE), I64(0)}), E_FAIL},
      {"reference type from the file", u"N", u"__NODE_DATA_", Join({I16(VT_BYREF | VT_I4), S(u"1"), I64(0)}), E_FAIL},
      {"array type from the file", u"N", u"__NODE_DATA_", Join({I16(VT_ARRAY | VT_I4), S(u"1"), I64(0)}), E_FAIL},
      {"object of an unknown class", u"N", u"__NODE_DATA_", Join({I16(VT_DISPATCH), unknownId, I64(0)}),
       REGDB_E_CLASSNOTREG},
      {"array count beyond the stream", u"M", u"_F_A", Join({I32(0x7FFFFFFF), I16(VT_I2), I16(1)}), E_FAIL},
      {"negative array count", u"M", u"_F_A", I32(-1), E_FAIL},
      {"array element cut short", u"M", u"_F_A", Join({I32(1), I16(VT_R8), I32(0)}), E_FAIL},
      {"picture longer than its stream", u"M", u"_F_P", Join({{'l', 't', 0, 0}, I32(0xFFFFFF00), {'G', 'I', 'F'}}),
       E_FAIL},
  };
  TempDir dir;
  WriteValidTemplate(dir.file("valid.dkt"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ComPtr<IVemraKYP> root = OpenDocument(Damaged(dir, {c.node}, c.stream, c.bytes));
    ComPtr<IONode> node;
    EXPECT_EQ(LoadNode(root.Get(), c.node, &node), c.expected);
    EXPECT_FALSE(node);
    if (c.stream == u"__NODE_HEADER_") continue;
    // A node made in memory over the damaged folder reports the values it cannot load.
    node = CreateNode(TopNodes(root.Get()).Get(), c.node, c.node == u"N" ? u"Text" : u"All");
    ComPtr<IOFields> fields;
    EXPECT_EQ(node->get_Fields(fields.GetAddressOf()), c.expected);
    EXPECT_FALSE(fields);
  }
}

// A picture stream that does not begin with the signature is taken whole as the picture's bytes.
TEST(PictureStream, WithoutSignatureIsThePictureItself) {
  TempDir dir;
  WriteValidTemplate(dir.file("valid.dkt"));
  const Bytes raw = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9};
  WriteStream(dir.path("valid.dkt"), {u"M"}, u"_F_P", raw);
  ComPtr<IVemraKYP> root = OpenDocument(dir.file("valid.dkt"));
  ComPtr<IONode> node;
  ASSERT_EQ(LoadNode(root.Get(), u"M", &node), S_OK);
  EXPECT_EQ(BytesOf(ValueOf(node.Get(), 3)), raw);
}

}  // namespace
}  // namespace kyptest
