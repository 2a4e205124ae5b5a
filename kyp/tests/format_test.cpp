// How a template document lies in its file: the definition list's bytes, a designer's
// template saved and read back value by value (and read by an independent compound-file
// reader), values converted to their field's type, the tagged variant form and arrays.
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#include "test_support.h"

namespace kyptest {
namespace {

namespace fs = std::filesystem;

const std::initializer_list<std::pair<std::u16string, SHORT>> kPictureFields = {
    {u"Picture", 11}, {u"Name", 8}, {u"Left", 6}, {u"Top", 6}};
const std::initializer_list<std::pair<std::u16string, SHORT>> kTextFields = {
    {u"Text", 8},     {u"Left", 6},      {u"Top", 6},       {u"Width", 6},     {u"Height", 6},
    {u"FontName", 8}, {u"FontSize", 0},  {u"FontBold", 2},  {u"FontItal", 2},  {u"FontUnder", 2},
    {u"FontColor", 3}, {u"FontAlign", 0}, {u"FontAngle", 0}};

TEST(DefinitionStream, NewDocumentHasAnEmptyDefinitionStream) {
  TempDir dir;
  {
    ComPtr<IVemraKYP> root = OpenDocument(dir.file("new.dkt"));
    ComPtr<IOItemDefs> defs;
    ASSERT_EQ(root->get_ItemDefs(defs.GetAddressOf()), S_OK);
    LONG n = -1;
    EXPECT_EQ(defs->get_Count(&n), S_OK);
    EXPECT_EQ(n, 0);
  }
  EXPECT_TRUE(ReadStream(dir.path("new.dkt"), {}, u"__ITEMDEF0__").empty());
  ComPtr<IVemraKYP> again = OpenDocument(dir.file("new.dkt"));
  ComPtr<IOItemDefs> defs;
  ASSERT_EQ(again->get_ItemDefs(defs.GetAddressOf()), S_OK);
  LONG n = -1;
  defs->get_Count(&n);
  EXPECT_EQ(n, 0);
}

TEST(DefinitionStream, TextAndLeftFieldsLieAsDocumented) {
  TempDir dir;
  {
    ComPtr<IVemraKYP> root = OpenDocument(dir.file("t.dkt"));
    ComPtr<IOItemDefs> defs;
    root->get_ItemDefs(defs.GetAddressOf());
    ComPtr<IOItemDef> def;
    ASSERT_EQ(defs->CreateItemDef(Bstr(u"Label").Get(), def.GetAddressOf()), S_OK);
    ComPtr<IOFields> fields;
    def->get_Fields(fields.GetAddressOf());
    ComPtr<IOField> f;
    ASSERT_EQ(fields->Add(Bstr(u"Text").Get(), 8, 0, f.GetAddressOf()), S_OK);
    ASSERT_EQ(fields->Add(Bstr(u"Left").Get(), 6, -2, f.ReleaseAndGetAddressOf()), S_OK);
    ULONG size = 0;
    f->get_Size(&size);
    EXPECT_EQ(size, 0xFFFFFFFEu);  // the low 32 bits of the sign-extended size
    ASSERT_EQ(defs->Append(def.Get()), S_OK);
  }
  Bytes expected;
  PutI16(expected, 1);
  PutString(expected, u"Label");
  PutI32(expected, 2);
  PutI16(expected, 8);
  PutI64(expected, 0);
  PutString(expected, u"Text");
  PutI16(expected, 6);
  PutI64(expected, -2);
  PutString(expected, u"Left");
  EXPECT_EQ(ReadStream(dir.path("t.dkt"), {}, u"__ITEMDEF0__"), expected);

  // Read back, and read again: setting the name a second time does not add the list twice.
  ComPtr<IVemraKYP> root = OpenDocument(dir.file("t.dkt"));
  ASSERT_EQ(root->put_DocName(dir.file("t.dkt").Get()), S_OK);
  ComPtr<IOItemDefs> defs;
  root->get_ItemDefs(defs.GetAddressOf());
  LONG n = 0;
  defs->get_Count(&n);
  EXPECT_EQ(n, 1);
  ComPtr<IOItemDef> def;
  ASSERT_EQ(defs->Item(Str(u"Label"), def.GetAddressOf()), S_OK);
  ComPtr<IOFields> fields;
  def->get_Fields(fields.GetAddressOf());
  fields->get_Count(&n);
  EXPECT_EQ(n, 2);
  ComPtr<IOField> left;
  ASSERT_EQ(fields->Item(Variant::I2(2), left.GetAddressOf()), S_OK);
  SHORT type = 0;
  Bstr name;
  left->get_Type(&type);
  left->get_Name(name.ReleaseAndGetAddressOf());
  EXPECT_EQ(type, 6);
  EXPECT_EQ(name.View(), u"Left");
}

// A label template as the designer writes it: two text objects and one picture.
struct TextObject {
  Variant text;
  double left, top, width, height;
  Variant fontName;
  SHORT size;
  bool bold, italic, underline;
  LONG color;
  SHORT align, angle;
};

void SaveText(IONodes* labels, const std::u16string& name, const TextObject& t) {
  ComPtr<IONode> node = CreateNode(labels, name, u"Text");
  const Variant values[] = {t.text,
                            Variant::R8(t.left),
                            Variant::R8(t.top),
                            Variant::R8(t.width),
                            Variant::R8(t.height),
                            t.fontName,
                            Variant::I2(t.size),
                            Bool(t.bold),
                            Bool(t.italic),
                            Bool(t.underline),
                            Variant::I4(t.color),
                            Variant::I2(t.align),
                            Variant::I2(t.angle)};
  for (LONG k = 0; k < 13; ++k) ASSERT_EQ(SetValue(node.Get(), k + 1, values[k]), S_OK);
  ASSERT_EQ(labels->Append(node.Get()), S_OK);
}

void ExpectText(IVemraKYP* root, const std::u16string& path, const TextObject& t) {
  SCOPED_TRACE(std::string(path.begin(), path.end()));
  ComPtr<IONode> node;
  ASSERT_EQ(LoadNode(root, path, &node), S_OK);
  Bstr name, itemDef;
  node->get_Name(name.ReleaseAndGetAddressOf());
  node->get_ItemDef(itemDef.ReleaseAndGetAddressOf());
  EXPECT_EQ(name.View(), path.substr(path.rfind(u'/') + 1));
  EXPECT_EQ(itemDef.View(), u"Text");

  Variant text = ValueOf(node.Get(), 1);
  ASSERT_EQ(text.vt, t.text.vt);
  if (t.text.vt == VT_BSTR) {
    EXPECT_EQ(text.bstrVal == nullptr, t.text.bstrVal == nullptr);
    EXPECT_EQ(xcom::BstrView(text.bstrVal), xcom::BstrView(t.text.bstrVal));
  } else {
    EXPECT_EQ(text.date, t.text.date);
  }
  const double measures[] = {t.left, t.top, t.width, t.height};
  for (LONG k = 0; k < 4; ++k) {
    Variant v = ValueOf(node.Get(), k + 2);
    EXPECT_EQ(v.vt, VT_R8);
    EXPECT_EQ(v.dblVal, measures[k]);
  }
  Variant font = ValueOf(node.Get(), 6);
  EXPECT_EQ(font.vt, VT_BSTR);
  EXPECT_EQ(font.bstrVal == nullptr, t.fontName.bstrVal == nullptr);
  EXPECT_EQ(xcom::BstrView(font.bstrVal), xcom::BstrView(t.fontName.bstrVal));
  Variant size = ValueOf(node.Get(), 7);
  EXPECT_EQ(size.vt, VT_I2);
  EXPECT_EQ(size.iVal, t.size);
  const bool styles[] = {t.bold, t.italic, t.underline};
  for (LONG k = 0; k < 3; ++k) {
    Variant v = ValueOf(node.Get(), k + 8);
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_EQ(v.boolVal, styles[k] ? VARIANT_TRUE : VARIANT_FALSE);
  }
  Variant color = ValueOf(node.Get(), 11);
  EXPECT_EQ(color.vt, VT_I4);
  EXPECT_EQ(color.lVal, t.color);
  Variant align = ValueOf(node.Get(), 12), angle = ValueOf(node.Get(), 13);
  EXPECT_EQ(align.vt, VT_I2);
  EXPECT_EQ(align.iVal, t.align);
  EXPECT_EQ(angle.iVal, t.angle);
}

// Every stream of a compound file with its bytes, by path, as an independent reader sees it.
std::map<std::string, std::string> OlefileStreams(const fs::path& file) {
  std::string cmd =
      "/usr/bin/python3 -c \"import olefile,sys\n"
      "ole=olefile.OleFileIO(sys.argv[1])\n"
      "for e in ole.listdir(streams=True, storages=False):\n"
      "  print('/'.join(e) + '\\t' + ole.openstream(e).read().hex())\" '" +
      file.string() + "'";
  std::map<std::string, std::string> out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  std::string text;
  char buf[4096];
  while (std::size_t n = fread(buf, 1, sizeof buf, p)) text.append(buf, n);
  EXPECT_EQ(pclose(p), 0) << "olefile could not read the file";
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    auto tab = line.find('\t');
    if (tab != std::string::npos) out[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return out;
}

std::string Hex(const Bytes& b) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (auto c : b) {
    s.push_back(digits[c >> 4]);
    s.push_back(digits[c & 15]);
  }
  return s;
}

TEST(DesignerTemplate, SavedAndReadBackInANewObject) {
  TempDir dir;
  Bstr file = dir.file("Label.DKT");
  const DATE when = 37623.75;  // 2 January 2003 18:00
  const TextObject first{Str(u"Disk 1 \u2014 Backup"), 0.25, 1.5, 2.0, 0.5, Str(u"Arial"), 12, true, false,
                         true, 0x00FF8040, 2, 90};
  const TextObject second{Variant::Date(when), -0.125, 3.0, 1.0e-3, 12.75, NullStr(), -8, false, true,
                          false, -1, 0, -45};
  const TextObject third{Str(u""), 0, 0, 0, 0, Str(u""), 0, false, false, false, 0, 1, 0};
  const Bytes picture = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D, 'I', 'H', 'D', 'R', 0xFF, 0};
  {
    ComPtr<IVemraKYP> root = OpenDocument(file);
    DefineItem(root.Get(), u"Picture", kPictureFields);
    DefineItem(root.Get(), u"Text", kTextFields);
    ComPtr<IONodes> top = TopNodes(root.Get());
    ComPtr<IONode> labels = CreateNode(top.Get(), u"Labels", u"");
    ASSERT_EQ(top->Append(labels.Get()), S_OK);
    ComPtr<IONodes> labelNodes = Children(labels.Get());
    SaveText(labelNodes.Get(), u"Text0", first);
    SaveText(labelNodes.Get(), u"Text1", second);
    SaveText(labelNodes.Get(), u"Text2", third);
    ComPtr<IONode> pictures = CreateNode(top.Get(), u"Pictures", u"");
    ASSERT_EQ(top->Append(pictures.Get()), S_OK);
    ComPtr<IONodes> pictureNodes = Children(pictures.Get());
    ComPtr<IONode> pic = CreateNode(pictureNodes.Get(), u"Picture0", u"Picture");
    ASSERT_EQ(SetValue(pic.Get(), 1, ByteArray(picture)), S_OK);
    ASSERT_EQ(SetValue(pic.Get(), 2, Str(u"logo.png")), S_OK);
    ASSERT_EQ(SetValue(pic.Get(), 3, Variant::R8(0.5)), S_OK);
    ASSERT_EQ(SetValue(pic.Get(), 4, Variant::R8(0.75)), S_OK);
    ASSERT_EQ(pictureNodes->Append(pic.Get()), S_OK);
  }

  ComPtr<IVemraKYP> root = OpenDocument(file);
  ComPtr<IONode> labels, pictures, pic;
  ASSERT_EQ(LoadNode(root.Get(), u"Labels", &labels), S_OK);
  EXPECT_EQ(CountOf(Children(labels.Get()).Get()), 3);
  ExpectText(root.Get(), u"Labels/Text0", first);
  ExpectText(root.Get(), u"Labels/Text1", second);
  ExpectText(root.Get(), u"Labels/Text2", third);
  ASSERT_EQ(LoadNode(root.Get(), u"Pictures", &pictures), S_OK);
  EXPECT_EQ(CountOf(Children(pictures.Get()).Get()), 1);
  ASSERT_EQ(LoadNode(root.Get(), u"Pictures/Picture0", &pic), S_OK);
  EXPECT_EQ(BytesOf(ValueOf(pic.Get(), 1)), picture);
  EXPECT_EQ(xcom::BstrView(ValueOf(pic.Get(), 2).bstrVal), u"logo.png");
  EXPECT_EQ(ValueOf(pic.Get(), 4).dblVal, 0.75);

  // The node without a definition has a header and no values.
  root.Reset();
  labels.Reset();
  pictures.Reset();
  pic.Reset();
  Bytes header;
  PutI16(header, 0);
  PutString(header, u"");
  PutI32(header, 0);  // a caption never set is null
  EXPECT_EQ(ReadStream(dir.path("Label.DKT"), {u"Labels"}, u"__NODE_HEADER_"), header);

  // An independent reader lists the same streams with the same bytes.
  auto streams = OlefileStreams(dir.path("Label.DKT"));
  const std::pair<std::vector<std::u16string>, std::u16string> expected[] = {
      {{}, u"__ITEMDEF0__"},
      {{u"Labels"}, u"__NODE_HEADER_"},
      {{u"Labels", u"Text0"}, u"__NODE_HEADER_"},
      {{u"Labels", u"Text1"}, u"__NODE_DATA_"},
      {{u"Pictures", u"Picture0"}, u"__NODE_DATA_"},
      {{u"Pictures", u"Picture0"}, u"_F_Picture"},
  };
  for (const auto& [storages, stream] : expected) {
    std::string path;
    for (const auto& s : storages) path += std::string(s.begin(), s.end()) + "/";
    path += std::string(stream.begin(), stream.end());
    ASSERT_TRUE(streams.count(path)) << path;
    EXPECT_EQ(streams[path], Hex(ReadStream(dir.path("Label.DKT"), storages, stream))) << path;
  }
  EXPECT_FALSE(streams.count("Labels/__NODE_DATA_"));
  EXPECT_EQ(streams.size(), 1u + 1 + 3 * 2 + 1 + 3);
}

// A value of another type than its field's is converted when the node is saved; one that
// cannot be converted fails the save instead of storing the variant's raw bytes.
TEST(FieldValues, ConvertedToTheFieldTypeOnSave) {
  struct Case {
    const char* name;
    SHORT type;
    Variant given;
    HRESULT saved;
    Bytes stored;   // "__NODE_DATA_" when saved
    VARTYPE readVt;
  };
  auto le = [](std::int64_t v, int n) {
    Bytes b;
    for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return b;
  };
  double onePointFive = 1.5;
  std::int64_t bits = 0;
  std::memcpy(&bits, &onePointFive, 8);
  const Case cases[] = {
      {"text in a double field", 6, Str(u"1.5"), S_OK, le(bits, 8), VT_R8},
      {"word in a double field", 6, Str(u"abc"), DISP_E_TYPEMISMATCH, {}, VT_EMPTY},
      {"true in a Boolean field", 2, Bool(true), S_OK, {0xFF}, VT_BOOL},
      {"1 in a Boolean field", 2, Variant::I4(1), S_OK, {0xFF}, VT_BOOL},
      {"false in a Boolean field", 2, Bool(false), S_OK, {0x00}, VT_BOOL},
      {"double in an integer field", 0, Variant::R8(2.5), S_OK, le(2, 2), VT_I2},
      {"too large for an integer", 0, Variant::I4(70000), DISP_E_OVERFLOW, {}, VT_EMPTY},
      {"text in a long field", 3, Str(u"-12"), S_OK, le(-12, 4), VT_I4},
      {"integer in a byte field", 7, Variant::I2(200), S_OK, {200}, VT_UI1},
      {"too large for a byte", 7, Variant::I2(300), DISP_E_OVERFLOW, {}, VT_EMPTY},
      {"double in a single field", 5, Variant::R8(0.5), S_OK, {0, 0, 0, 0x3F}, VT_R4},
      {"double in a date field", 9, Variant::R8(2.0), S_OK, le(0x4000000000000000, 8), VT_DATE},
      {"nothing in a double field", 6, Variant(), S_OK, le(0, 8), VT_R8},
      {"a type that holds nothing", 4, Str(u"x"), S_OK, {}, VT_EMPTY},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string fileName = std::string("v") + std::to_string(&c - cases) + ".dkt";
    {
      ComPtr<IVemraKYP> root = OpenDocument(dir.file(fileName));
      DefineItem(root.Get(), u"One", {{u"F", c.type}});
      ComPtr<IONodes> top = TopNodes(root.Get());
      ComPtr<IONode> node = CreateNode(top.Get(), u"N", u"One");
      ASSERT_EQ(SetValue(node.Get(), 1, c.given), S_OK);
      ASSERT_EQ(top->Append(node.Get()), c.saved);
    }
    if (FAILED(c.saved)) continue;
    EXPECT_EQ(ReadStream(dir.path(fileName), {u"N"}, u"__NODE_DATA_"), c.stored);
    ComPtr<IVemraKYP> root = OpenDocument(dir.file(fileName));
    ComPtr<IONode> node;
    ASSERT_EQ(LoadNode(root.Get(), u"N", &node), S_OK);
    EXPECT_EQ(ValueOf(node.Get(), 1).vt, c.readVt);
  }
}

bool SameValue(const VARIANT& a, const VARIANT& b) {
  if (a.vt != b.vt) return false;
  switch (a.vt) {
    case VT_EMPTY: case VT_NULL: return true;
    case VT_BSTR:
      return (a.bstrVal == nullptr) == (b.bstrVal == nullptr) && xcom::BstrView(a.bstrVal) == xcom::BstrView(b.bstrVal);
    case VT_DISPATCH: case VT_UNKNOWN: return (a.punkVal == nullptr) == (b.punkVal == nullptr);
    case VT_I1: case VT_UI1: return a.bVal == b.bVal;
    case VT_I2: case VT_UI2: case VT_BOOL: return a.uiVal == b.uiVal;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR: case VT_R4: return a.ulVal == b.ulVal;
    default: return a.llVal == b.llVal;
  }
}

Variant Scalar(VARTYPE vt, std::int64_t bits) {
  Variant v;
  v.llVal = bits;
  v.vt = vt;
  return v;
}

// Any-variant fields and array elements keep their type in the tagged form.
TEST(FieldValues, TaggedVariantsAndArraysRoundTrip) {
  double pi = 3.25;
  std::int64_t piBits = 0;
  std::memcpy(&piBits, &pi, 8);
  float quarter = 0.25f;
  std::uint32_t quarterBits = 0;
  std::memcpy(&quarterBits, &quarter, 4);
  std::vector<Variant> values = {
      Variant::I2(-2), Variant::I4(123456789), Scalar(VT_R4, quarterBits), Scalar(VT_R8, piBits),
      Variant::Currency(1457664), Variant::Date(37623.5), Bool(true), Scalar(VT_ERROR, 0x80020004),
      Scalar(VT_I1, 0x80), Scalar(VT_UI1, 0xFE), Scalar(VT_UI2, 0xFFFE), Scalar(VT_UI4, 0xFFFFFFF0),
      Scalar(VT_INT, -5), Scalar(VT_UINT, 7), NullStr(), Str(u""), Str(u"t\u00e9xt"), Variant(),
      Scalar(VT_NULL, 0), Scalar(VT_DISPATCH, 0)};
  TempDir dir;
  {
    ComPtr<IVemraKYP> root = OpenDocument(dir.file("any.dkt"));
    DefineItem(root.Get(), u"Any", {{u"V", 8}, {u"A", 10}});
    ComPtr<IONodes> top = TopNodes(root.Get());
    // The array starts at 1: its element count is what is written, not its upper bound + 1.
    SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 1, static_cast<ULONG>(values.size()));
    for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
      LONG index = i + 1;
      ASSERT_EQ(SafeArrayPutElement(sa, &index, &values[i]), S_OK);
    }
    Variant array = Variant::Adopt(VT_ARRAY | VT_VARIANT, sa);
    for (std::size_t i = 0; i < values.size(); ++i) {
      ComPtr<IONode> node = CreateNode(top.Get(), u"N" + U16(std::to_string(i)), u"Any");
      ASSERT_EQ(SetValue(node.Get(), 1, values[i]), S_OK);
      ASSERT_EQ(SetValue(node.Get(), 2, array), S_OK);
      ASSERT_EQ(top->Append(node.Get()), S_OK) << i;
    }
  }
  Bytes own = ReadStream(dir.path("any.dkt"), {u"N0"}, u"_F_A");
  ASSERT_GE(own.size(), 4u);
  EXPECT_EQ(own[0] | (own[1] << 8) | (own[2] << 16) | (own[3] << 24), static_cast<int>(values.size()));

  ComPtr<IVemraKYP> root = OpenDocument(dir.file("any.dkt"));
  for (std::size_t i = 0; i < values.size(); ++i) {
    SCOPED_TRACE(i);
    ComPtr<IONode> node;
    ASSERT_EQ(LoadNode(root.Get(), u"N" + U16(std::to_string(i)), &node), S_OK);
    EXPECT_TRUE(SameValue(ValueOf(node.Get(), 1), values[i])) << "vt " << ValueOf(node.Get(), 1).vt;
    if (i > 0) continue;
    Variant array = ValueOf(node.Get(), 2);
    ASSERT_EQ(array.vt, VT_ARRAY | VT_VARIANT);
    LONG lower = -1, upper = -1;
    SafeArrayGetLBound(array.parray, 1, &lower);
    SafeArrayGetUBound(array.parray, 1, &upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, static_cast<LONG>(values.size()) - 1);
    for (LONG k = 0; k <= upper; ++k) {
      Variant element;
      SafeArrayGetElement(array.parray, &k, &element);
      EXPECT_TRUE(SameValue(element, values[k])) << "element " << k;
    }
  }
}

// An object in an any-variant field is stored in its persisted form and made again on load;
// one that cannot persist itself fails the save, and an array field refuses a non-array.
TEST(FieldValues, ObjectsAndArrayFieldRules) {
  TempDir dir;
  ComPtr<IVemraKYP> root = OpenDocument(dir.file("obj.dkt"));
  DefineItem(root.Get(), u"Any", {{u"V", 8}, {u"A", 10}});
  ComPtr<IONodes> top = TopNodes(root.Get());

  // A field object persists itself as its value: one of type 0 holding 5.
  ComPtr<IOField> inner;
  ASSERT_EQ(xcom::CreateInstance(CLSID_OField, &inner), S_OK);
  ASSERT_EQ(inner->put_Value(Variant::I2(5)), S_OK);
  Variant object;
  object.pdispVal = inner.Detach();
  object.vt = VT_DISPATCH;
  Variant empty = Variant::Adopt(VT_ARRAY | VT_VARIANT, SafeArrayCreateVector(VT_VARIANT, 0, 0));
  ComPtr<IONode> node = CreateNode(top.Get(), u"Obj", u"Any");
  ASSERT_EQ(SetValue(node.Get(), 1, object), S_OK);
  ASSERT_EQ(SetValue(node.Get(), 2, empty), S_OK);
  ASSERT_EQ(top->Append(node.Get()), S_OK);

  ComPtr<IONode> loaded;
  ASSERT_EQ(LoadNode(root.Get(), u"Obj", &loaded), S_OK);
  Variant back = ValueOf(loaded.Get(), 1);
  ASSERT_EQ(back.vt, VT_DISPATCH);
  ComPtr<IOField> field;
  ASSERT_EQ(back.pdispVal->QueryInterface(IID_IOField, field.ReleaseAndGetAddressOfVoid()), S_OK);
  Variant five;
  five = FieldValue(field.Get());
  EXPECT_EQ(five.vt, VT_I2);
  EXPECT_EQ(five.iVal, 5);
  Variant none = ValueOf(loaded.Get(), 2);
  ASSERT_EQ(none.vt, VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(none.parray->rgsabound[0].cElements, 0u);

  // A collection cannot persist itself into a stream.
  ComPtr<IONodes> nodes;
  ASSERT_EQ(xcom::CreateInstance(CLSID_ONodes, &nodes), S_OK);
  Variant collection;
  collection.pdispVal = nodes.Detach();
  collection.vt = VT_DISPATCH;
  ComPtr<IONode> bad = CreateNode(top.Get(), u"Bad", u"Any");
  ASSERT_EQ(SetValue(bad.Get(), 1, collection), S_OK);
  ASSERT_EQ(SetValue(bad.Get(), 2, empty), S_OK);
  EXPECT_EQ(top->Append(bad.Get()), E_NOINTERFACE);

  ComPtr<IONode> notArray = CreateNode(top.Get(), u"NotArray", u"Any");
  ASSERT_EQ(SetValue(notArray.Get(), 1, Variant::I2(1)), S_OK);
  ASSERT_EQ(SetValue(notArray.Get(), 2, Str(u"1,2")), S_OK);
  EXPECT_EQ(top->Append(notArray.Get()), E_INVALIDARG);
}

}  // namespace
}  // namespace kyptest
