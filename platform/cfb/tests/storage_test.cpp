#include "testutil.h"

using namespace cfbtest;

TEST(Smoke, WriteReopenRead) {
  TempDir dir;
  std::string f = dir.file("a.dkc");
  {
    Ptr<IStorage> root = Create(f);
    PutStream(root.get(), "J_R_X_", "header");
    Ptr<IStorage> disk = SubStorage(root.get(), "Disk A", true);
    PutStream(disk.get(), "I_T_E_M_", std::string(100, 'x'));
    PutStream(disk.get(), "big", std::string(10000, 'y'));
  }
  auto tree = DumpFile(f);
  EXPECT_EQ(tree.size(), 4u);
  EXPECT_EQ(tree["J_R_X_"], "header");
  EXPECT_EQ(tree["Disk A/I_T_E_M_"], std::string(100, 'x'));
  EXPECT_EQ(tree["Disk A/big"], std::string(10000, 'y'));
}
