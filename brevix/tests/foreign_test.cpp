// The control over a catalog that another compound-file implementation wrote: the fixture's
// storages and record streams laid out as a folder tree, packed again by "gsf createole".
#include <cstdio>

#include "test_support.h"

namespace brevixtest {
namespace {

int RunShell(const std::string& cmd, std::string* out) {
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[512];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out->append(buf, n);
  return pclose(p);
}

TEST(ForeignCatalog, WrittenByGsf) {
  TempDir dir;
  const std::u16string ours = dir.File16("ours.dkc");
  BuildFixture(ours);
  const std::filesystem::path tree = dir.path() / "tree";
  std::string out;
  ASSERT_EQ(RunShell("/usr/bin/python3 '" DUMP_TREE_SCRIPT "' '" + U8(ours) + "' '" + tree.string() + "' 2>&1", &out), 0)
      << out;
  std::string entries;
  for (const auto& e : std::filesystem::directory_iterator(tree)) entries += " '" + e.path().filename().string() + "'";
  const std::filesystem::path gsfFile = dir.path() / "gsf.dkc";
  ASSERT_EQ(RunShell("cd '" + tree.string() + "' && gsf createole '" + gsfFile.string() + "'" + entries + " 2>&1", &out), 0)
      << out;

  Host h(xcom::Utf8ToUtf16(gsfFile.string()));
  QStandardItem* root = h.treeModel()->item(0);
  ASSERT_TRUE(root);
  ASSERT_EQ(root->rowCount(), 5);
  EXPECT_EQ(root->child(2)->text(), "Floppy1");
  EXPECT_EQ(root->child(2)->child(0)->text(), QString::fromStdU16String(kLongFolder));
  h.ctl->SetSelectedItem(Bstr(u"Floppy1/docs").Get(), 0);
  EXPECT_EQ(h.ListColumn(), QStringList({"sub", "A.txt", "b.doc"}));
  EXPECT_EQ(h.ListColumn(1), QStringList({"", "   1K", "   2K"}));
  Variant info;
  EXPECT_EQ(h.ctl->GetItemInfo(Bstr(u"Floppy1").Get(), &info), S_OK);
  EXPECT_EQ(InfoText(info, ITEMINFO_TYPE), "Floppy Disk");
}

}  // namespace
}  // namespace brevixtest
