// The registry's text form, read and written without a file or a lock.
#include <gtest/gtest.h>

#include "regtree.h"

namespace {

using namespace xcom::regtree;

TEST(RegistryText, WrittenTreesReadBackWhole) {
  Tree tree;
  Key& clsid = CreateKey(tree.roots[0], {"CLSID", "{B09D44B7-90DB-11D2-A245-00104BCD093B}"});
  SetString(clsid, "", "OStorage Class");
  SetString(ChildOf(clsid, "InprocServer32"), "ThreadingModel", "Apartment");
  SetString(clsid, "Odd \"name\"\\", std::string("tab\tcr\rlf\nbell\x07 del\x7F caf\xC3\xA9"));
  Key& user = ChildOf(tree.roots[1], "Software");
  user.values["Count"] = Value{REG_DWORD, {}, 0xDEADBEEF};
  ChildOf(user, "Empty");

  const std::string text = Format(tree);
  EXPECT_EQ(text.substr(0, 16), "XCOM REGISTRY 1\n");
  Tree back;
  ASSERT_TRUE(Parse(text, &back));
  EXPECT_EQ(Format(back), text);
  Key* k = FindKey(back.roots[0], {"clsid", "{b09d44b7-90db-11d2-a245-00104bcd093b}"});
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(k->values.at("odd \"NAME\"\\").text, std::string("tab\tcr\rlf\nbell\x07 del\x7F caf\xC3\xA9"));
  EXPECT_EQ(FindKey(back.roots[1], {"SOFTWARE"})->values.at("count").number, 0xDEADBEEFu);
  EXPECT_NE(FindKey(back.roots[1], {"Software", "Empty"}), nullptr);
}

TEST(RegistryText, WhatOtherWritersLeaveAndWhatIsRefused) {
  struct Case {
    const char* what;
    std::string text;
    bool ok;
  } cases[] = {
      {"CR LF lines, comments, blank lines and a root in any case",
       "XCOM REGISTRY 1\r\n; note\r\n\r\n[hkey_classes_root\\A]\r\n@=\"x\"\r\n", true},
      {"header alone", "XCOM REGISTRY 1\n", true},
      {"empty file", "", false},
      {"another header", "REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n", false},
      {"unknown root", "XCOM REGISTRY 1\n[HKEY_NOWHERE\\A]\n", false},
      {"value before any key", "XCOM REGISTRY 1\n@=\"x\"\n", false},
      {"unclosed section", "XCOM REGISTRY 1\n[HKEY_CLASSES_ROOT\\A\n", false},
      {"empty path component", "XCOM REGISTRY 1\n[HKEY_CLASSES_ROOT\\A\\\\B]\n", false},
      {"unknown escape", "XCOM REGISTRY 1\n[HKEY_CLASSES_ROOT\\A]\n@=\"\\q\"\n", false},
      {"cut-off hex escape", "XCOM REGISTRY 1\n[HKEY_CLASSES_ROOT\\A]\n@=\"\\x4\"\n", false},
      {"unclosed string", "XCOM REGISTRY 1\n[HKEY_CLASSES_ROOT\\A]\n@=\"abc\n", false},
      {"text after a string", "XCOM REGISTRY 1\n[HKEY_CLASSES_ROOT\\A]\n@=\"abc\" x\n", false},
      {"short number", "XCOM REGISTRY 1\n[HKEY_CLASSES_ROOT\\A]\n\"n\"=dword:123\n", false},
      {"number with a stray digit", "XCOM REGISTRY 1\n[HKEY_CLASSES_ROOT\\A]\n\"n\"=dword:0000000G\n", false},
      {"empty value name", "XCOM REGISTRY 1\n[HKEY_CLASSES_ROOT\\A]\n\"\"=\"x\"\n", false},
  };
  for (const Case& c : cases) {
    Tree tree;
    EXPECT_EQ(Parse(c.text, &tree), c.ok) << c.what;
  }
}

TEST(RegistryText, KeyPaths) {
  Path p;
  EXPECT_TRUE(SplitPath("", &p));
  EXPECT_TRUE(p.empty());
  EXPECT_TRUE(SplitPath("CLSID\\{X}\\InprocServer32", &p));
  EXPECT_EQ(p, (Path{"CLSID", "{X}", "InprocServer32"}));
  EXPECT_FALSE(SplitPath("A\\", &p));
  EXPECT_FALSE(
      SplitPath("A\x01"
                "B",
                &p));
  EXPECT_FALSE(SplitPath(std::string(256, 'k'), &p));
  EXPECT_EQ(RootIndex(HKEY_CLASSES_ROOT), 0);
  EXPECT_EQ(RootIndex(HKEY{0x1234u}), -1);
}

}  // namespace
