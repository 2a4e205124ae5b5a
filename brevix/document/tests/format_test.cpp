// Stream layouts of the catalog file decoded and encoded on byte buffers: counted strings,
// the header, item records and the long-name map, with hostile counts.
#include <gtest/gtest.h>

#include <vector>

#include "catalogformat.h"
#include "itemstream.h"
#include "longnames.h"

using namespace brevix;

namespace {

std::vector<BYTE> Bytes(std::initializer_list<int> v) {
  std::vector<BYTE> out;
  for (int b : v) out.push_back(static_cast<BYTE>(b));
  return out;
}

}  // namespace

TEST(CountedString, NullEmptyAndTextLayouts) {
  struct Case {
    CountedString value;
    std::vector<BYTE> bytes;
  } cases[] = {
      {std::nullopt, Bytes({0, 0, 0, 0})},
      {std::u16string(), Bytes({2, 0, 0, 0, 0, 0})},
      {std::u16string(u"Ab"), Bytes({6, 0, 0, 0, 'A', 0, 'b', 0, 0, 0})},
      {std::u16string(u"\u00e9"), Bytes({4, 0, 0, 0, 0xe9, 0, 0, 0})},
  };
  for (const Case& c : cases) {
    std::vector<BYTE> out;
    ByteWriter(out).Counted(c.value);
    EXPECT_EQ(out, c.bytes);
    ByteReader r(c.bytes.data(), c.bytes.size());
    CountedString back = u"sentinel";
    ASSERT_TRUE(r.Counted(back));
    EXPECT_EQ(back, c.value);
    EXPECT_EQ(r.remaining(), 0u);
  }
}

TEST(CountedString, ImplausibleCountsAreRefused) {
  const std::vector<BYTE> cases[] = {
      Bytes({1, 0, 0, 0, 0}),                 // odd
      Bytes({3, 0, 0, 0, 'a', 0, 0}),         // odd
      Bytes({8, 0, 0, 0, 'a', 0, 0, 0}),      // past the end
      Bytes({0xff, 0xff, 0xff, 0x7f, 0, 0}),  // huge
      Bytes({2, 0, 0}),                       // count itself cut
  };
  for (const auto& b : cases) {
    ByteReader r(b.data(), b.size());
    CountedString s = u"kept";
    EXPECT_FALSE(r.Counted(s));
    EXPECT_EQ(s, u"kept");
    EXPECT_EQ(r.position(), 0u);
  }
}

TEST(Header, NewCatalogHeaderIs24BytesAndRoundTrips) {
  CatalogHeader h;
  std::vector<BYTE> b = EncodeHeader(h);
  ASSERT_EQ(b.size(), 24u);
  EXPECT_EQ(Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0x9a, 0x99, 0x99, 0x99, 0x99, 0x99, 0xf1, 0x3f, 0, 0, 0, 0,
                   0, 0, 0, 0}),
            b);

  h.baseSerialNum = 42;
  h.masterPassword = u"secret";
  h.userPassword = u"";
  b = EncodeHeader(h);
  EXPECT_EQ(b.size(), 16u + 4 + 14 + 4 + 2);
  CatalogHeader back;
  ASSERT_EQ(DecodeHeader(b.data(), b.size(), back), S_OK);
  EXPECT_EQ(back.baseSerialNum, 42);
  EXPECT_EQ(back.fileVersion, 1.1);
  EXPECT_EQ(back.masterPassword, u"secret");
  EXPECT_EQ(back.userPassword, u"");

  // Every shorter prefix fails and leaves the target alone.
  for (size_t n = 0; n < b.size(); ++n) {
    CatalogHeader t;
    t.baseSerialNum = 7;
    EXPECT_EQ(DecodeHeader(b.data(), n, t), E_FAIL) << n;
    EXPECT_EQ(t.baseSerialNum, 7);
  }
}

TEST(ItemRecordFormat, LayoutsByKind) {
  FILETIME a = U64ToFileTime(0x0102030405060708ULL), bt = U64ToFileTime(0x1112131415161718ULL);
  ItemRecord file = MakeItemRecord(u"a.txt", std::nullopt, 1, 2, {}, a, bt, ItemFile);
  std::vector<BYTE> b = EncodeItemRecord(file);
  ASSERT_EQ(b.size(), 36u);
  EXPECT_EQ(std::vector<BYTE>(b.begin(), b.begin() + 32),
            Bytes({0, 0, 0, 0, 0, 0, 0xf0, 0x3f, 1, 0, 0, 0, 2, 0, 0, 0, 8, 7, 6, 5, 4, 3, 2, 1, 0x18,
                   0x17, 0x16, 0x15, 0x14, 0x13, 0x12, 0x11}));

  file.note = u"";
  EXPECT_EQ(EncodeItemRecord(file).size(), 38u);
  ItemRecord folder = file;
  folder.kind = ItemFolder;
  EXPECT_EQ(EncodeItemRecord(folder).size(), 38u);

  ItemRecord disk = MakeItemRecord(u"Disk", u"desc", 0, 1457664, u"Floppy Disk", a, bt, ItemDisk, 42.0, 0, 1024);
  b = EncodeItemRecord(disk);
  EXPECT_EQ(b.size(), 48u + (4 + 2 * 11 + 2) + (4 + 2 * 4 + 2));

  ItemRecord back;
  back.kind = ItemDisk;
  ASSERT_EQ(DecodeItemRecord(b.data(), b.size(), back), S_OK);
  EXPECT_EQ(back.Size(), 1457664u);
  EXPECT_EQ(back.serial, 42.0);
  EXPECT_EQ(back.FreeSpace(), 1024u);
  EXPECT_EQ(back.typeText, u"Floppy Disk");
  EXPECT_EQ(back.note, u"desc");
  EXPECT_EQ(FileTimeToU64(back.timeA), FileTimeToU64(a));
  EXPECT_EQ(back.kind, ItemDisk);

  // A disk record read as a folder takes the first fields and stops at the "note", which is
  // the type text; a folder record read as a disk runs out.
  ItemRecord asDisk;
  asDisk.kind = ItemDisk;
  std::vector<BYTE> fb = EncodeItemRecord(folder);
  EXPECT_EQ(DecodeItemRecord(fb.data(), fb.size(), asDisk), E_FAIL);
}

TEST(ItemRecordFormat, TruncatedRecordLeavesTheTargetUntouched) {
  ItemRecord r = MakeItemRecord(u"x", u"note", 0, 5, {}, {}, {}, ItemFile);
  std::vector<BYTE> b = EncodeItemRecord(r);
  for (size_t n = 0; n < b.size(); ++n) {
    ItemRecord t = MakeItemRecord(u"t", u"old", 0, 99);
    EXPECT_EQ(DecodeItemRecord(b.data(), n, t), E_FAIL) << n;
    EXPECT_EQ(t.Size(), 99u);
    EXPECT_EQ(t.note, u"old");
  }
  // Stale bytes after a record are ignored.
  b.insert(b.end(), {1, 2, 3});
  ItemRecord t;
  EXPECT_EQ(DecodeItemRecord(b.data(), b.size(), t), S_OK);
  EXPECT_EQ(t.note, u"note");
}

TEST(TypeText, ByKindAndName) {
  struct Case {
    const char16_t* name;
    LONG kind;
    const char16_t* type;
  } cases[] = {
      {u"report.final.doc", ItemFile, u"DOC File"},
      {u".cshrc", ItemFile, u"CSHRC File"},
      {u"x.", ItemFile, u" File"},
      {u"Makefile", ItemFile, u"File"},
      {u"photo.jpeg", ItemFile, u"JPEG File"},
      {u"src.d", ItemFolder, u"File Folder"},
  };
  for (const Case& c : cases) {
    ItemRecord r = MakeItemRecord(c.name, std::nullopt, 0, 0, {}, {}, {}, c.kind);
    DeriveTypeText(r);
    EXPECT_EQ(r.typeText, c.type);
  }
  ItemRecord d = MakeItemRecord(u"a.b", std::nullopt, 0, 0, u"Zip Disk", {}, {}, ItemDisk);
  DeriveTypeText(d);
  EXPECT_EQ(d.typeText, u"Zip Disk");
}

TEST(LongNameMapFormat, RoundTripAndHostileCounts) {
  LongNameMapImage m;
  m.lastId = 2;
  m.entries = {{u"a long name", 2}};
  std::vector<BYTE> b = EncodeLongNameMap(m);
  EXPECT_EQ(std::vector<BYTE>(b.begin(), b.begin() + 4), Bytes({1, 0, 2, 0}));
  EXPECT_EQ(b.size(), 4u + 4 + 2 * 11 + 2 + 2);
  LongNameMapImage back;
  ASSERT_EQ(DecodeLongNameMap(b.data(), b.size(), back), S_OK);
  ASSERT_EQ(back.entries.size(), 1u);
  EXPECT_EQ(back.entries[0].name, u"a long name");
  EXPECT_EQ(back.entries[0].id, 2);

  // A count of entries the stream cannot hold, or an entry cut short.
  std::vector<BYTE> hostile = Bytes({0xff, 0xff, 1, 0, 0, 0, 0, 0, 1, 0});
  EXPECT_EQ(DecodeLongNameMap(hostile.data(), hostile.size(), back), E_FAIL);
  b.pop_back();
  EXPECT_EQ(DecodeLongNameMap(b.data(), b.size(), back), E_FAIL);
  EXPECT_EQ(back.entries.size(), 1u);
}

TEST(ElementNames, ReservedAndLongNameElements) {
  EXPECT_EQ(ParseLongNameElement(u"FLD~~7"), 7);
  EXPECT_EQ(ParseLongNameElement(u"FLD~~65535"), 65535);
  for (const char16_t* n : {u"FLD~~", u"FLD~~0", u"FLD~~07", u"FLD~~65536", u"FLD~~3.txt", u"fld~~3", u"FLD~~-1"}) {
    EXPECT_FALSE(ParseLongNameElement(n)) << std::string(n, n + std::char_traits<char16_t>::length(n));
  }
  EXPECT_EQ(LongNameElement(1), u"FLD~~1");
  EXPECT_EQ(LongNameElement(32767), u"FLD~~32767");
  EXPECT_TRUE(FoldsToReservedName(u"i_t_e_m_"));
  EXPECT_TRUE(FoldsToReservedName(u"J_R_X_"));
  EXPECT_TRUE(FoldsToReservedName(u"n_~~lng"));
  EXPECT_FALSE(FoldsToReservedName(u"I_T_E_M"));
  EXPECT_FALSE(IsReservedStreamName(u"i_t_e_m_"));
}
