// Type texts and codes, tree keys, path parts and the value formats of rows and tables.
#include "itemtypes.h"

#include <gtest/gtest.h>

using namespace app::catalog;

namespace {

struct TypeCase {
  const char16_t* kind;
  const char16_t* name;
  bool foldersOnly;
  const char16_t* text;
  const char16_t* code;
};

TEST(ItemTypes, TypeTextsAndCodes) {
  const TypeCase cases[] = {
      {u"FOLDER", u"Music", false, u" File Folder", u"05"},
      {u"FILE", u"archive.tar.gz", false, u"GZ File", u"06"},
      {u"FILE", u"README", false, u" File", u"06"},
      {u"FILE", u"a.txt", true, u"", u""},
      {u"Floppy Disk", u"D1", false, u"  Floppy Disk", u"02"},
      {u"Zip Disk", u"Z", false, u"  Zip Disk", u"03"},
      {u"CD-RW Disk", u"C", false, u"  CD-RW Disk", u"04"},
      {u"Local Disk", u"L", false, u"  Local Disk", u"00"},
      {u"Network Connection", u"N", false, u"  Network Connection", u"01"},
      {u"DVD Box", u"V", false, u"  DVD Box", u"00"},
  };
  for (const TypeCase& c : cases) {
    QString code;
    EXPECT_EQ(GetItemTypeText(QString::fromUtf16(c.kind), code, QString::fromUtf16(c.name), c.foldersOnly),
              QString::fromUtf16(c.text))
        << QString::fromUtf16(c.kind).toStdString();
    EXPECT_EQ(code, QString::fromUtf16(c.code));
  }
}

TEST(ItemTypes, ValueFormats) {
  EXPECT_EQ(SerialColumnText(0), "(none)");
  EXPECT_EQ(SerialColumnText(42), "0000000042");
  EXPECT_EQ(SerialFieldText(0), "(none)");
  EXPECT_EQ(SerialFieldText(42), QString(8, u' ') + " 42");
  EXPECT_EQ(SizeText(1234), QString(6, u' ') + "1,234KB");
  EXPECT_EQ(SizeText(0), QString(10, u' ') + "0KB");
  EXPECT_EQ(LocationFieldText(""), "ROOT:\\");
  EXPECT_EQ(LocationFieldText("\\"), "ROOT:\\");
  EXPECT_EQ(LocationFieldText("\\Music"), "ROOT:\\Music");
  EXPECT_EQ(LocationFieldText("Disk\\Music"), "ROOT:\\Disk\\Music");
  EXPECT_EQ(CategoryNote("WORK", "x"), "WORK      | x");
  EXPECT_EQ(CategoryNote("WORK", ""), "WORK      | ");
}

TEST(ItemTypes, PathsAndKeys) {
  EXPECT_EQ(NameOfPath("Disk\\Music\\a.mp3"), "a.mp3");
  EXPECT_EQ(FolderOfPath("Disk\\Music\\a.mp3"), "Disk\\Music\\");
  EXPECT_EQ(NameOfPath("a.mp3"), "a.mp3");
  EXPECT_EQ(FolderOfPath("a.mp3"), "");
  EXPECT_EQ(DepthOfPath("\\a.mp3"), 0);
  EXPECT_EQ(DepthOfPath("Disk\\Music\\2003"), 2);
  // Every path has its own key, and none meets the root's.
  EXPECT_NE(MakeTreeKey("2003"), MakeTreeKey("F2003"));
  EXPECT_NE(MakeTreeKey("R"), QString::fromUtf16(kRootTreeKey));
}

}  // namespace
