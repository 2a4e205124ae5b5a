// What a power cut may find: a release makes its journal durable (data and name) before it
// overwrites anything in the file, and removes the journal only once the file is synced.
#include <vector>

#include "docfile.h"
#include "test_support.h"

using namespace cfbtest;

namespace {

std::vector<cfb::IoStep>* g_steps = nullptr;
void Record(cfb::IoStep s) { g_steps->push_back(s); }

struct Traced {
  explicit Traced(std::vector<cfb::IoStep>& steps) {
    g_steps = &steps;
    cfb::SetIoTrace(&Record);
  }
  ~Traced() {
    cfb::SetIoTrace(nullptr);
    cfb::Docfile::SetDirtyBudget(128u << 20);
  }
};

// Every write to the file comes after a journal sync that followed the last thing saved in
// the journal; the folder is synced with the journal's first sync; the journal goes last.
void ExpectDurableOrder(const std::vector<cfb::IoStep>& steps) {
  using S = cfb::IoStep;
  ASSERT_FALSE(steps.empty());
  bool journalSynced = false, folderSynced = false, fileSynced = false;
  for (S s : steps) {
    switch (s) {
      case S::JournalSync: journalSynced = true; break;
      case S::FolderSync:
        EXPECT_TRUE(journalSynced);
        folderSynced = true;
        break;
      case S::FileWrite:
        EXPECT_TRUE(journalSynced && folderSynced) << "the file is overwritten before its journal is durable";
        break;
      case S::FileSync: fileSynced = true; break;
      case S::JournalGone: EXPECT_TRUE(fileSynced) << "the journal went before the file was synced"; break;
    }
  }
  EXPECT_EQ(steps.back(), S::JournalGone);
}

}  // namespace

TEST(PowerLoss, TheJournalIsDurableBeforeTheFileIsOverwritten) {
  // One release at the end, and a session that writes its sectors out early along the way.
  for (std::size_t budget : {std::size_t(128) << 20, std::size_t(64) << 10}) {
    SCOPED_TRACE(budget);
    TempDir dir;
    std::string f = dir.file("durable.dkc");
    {
      Ptr<IStorage> root = Create(f);
      for (int i = 0; i < 40; ++i) PutStream(root.get(), "s" + std::to_string(i), std::string(9000, 'a'));
    }
    std::vector<cfb::IoStep> steps;
    {
      Traced traced(steps);
      cfb::Docfile::SetDirtyBudget(budget);
      Ptr<IStorage> root = Open(f);
      for (int i = 0; i < 40; ++i) PutStream(root.get(), "s" + std::to_string(i), std::string(9000, 'b'));
    }
    ExpectDurableOrder(steps);
    EXPECT_EQ(DumpFile(f).at("s7"), std::string(9000, 'b'));
  }
}
