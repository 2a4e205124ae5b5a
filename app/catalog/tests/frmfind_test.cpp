// The find window offscreen: the name history, the Look-in box, column sorting, opening a hit,
// Stop and closing during a search, and what stays usable meanwhile.
#include "frmfind.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeView>
#include <functional>

#include "appstate.h"
#include "shellexecute.h"
#include "test_support.h"
#include "walkguard.h"

using namespace app::catalog;
using catalog_testing::FakeCompCtl;
using catalog_testing::Hit;

namespace {

class FindWindow : public catalog_testing::CatalogTest {
 protected:
  FindWindow() {
    state_.settings.CategoryNames = {"WORK", "MUSIC"};
    ctl_.hits = {{u"Disk1", 7, u"", 0, 0, u"Zip Disk"}, {u"Disk2", 8, u"", 0, 0, u"Floppy Disk"}};
  }
  FindWindowParts Parts() {
    FindWindowParts p = FindWindowPartsOf(state_, &ctl_);
    p.openCatalogedFile = [this](const QString& path, bool folder) { opened_.emplace_back(path, folder); };
    return p;
  }
  template <class T>
  static T* Find(QWidget& w, const char* name) {
    return w.findChild<T*>(QString::fromLatin1(name));
  }
  void Search(frmFind& w, const QString& name) {
    Find<QComboBox>(w, "lstName")->setCurrentText(name);
    w.FindNow();
  }

  app::AppState state_;
  FakeCompCtl ctl_;
  std::vector<std::pair<QString, bool>> opened_;
};

TEST_F(FindWindow, LookInListsDisksAndTheSelectedFolder) {
  state_.selection.SelectedItemInfo = QVariantList{0, 0, 0, 7, 0, "Disk1/Music/2003", "File Folder", ""};
  frmFind w(Parts());
  auto* path = Find<QComboBox>(w, "cmbPath");
  ASSERT_EQ(path->count(), 4);
  EXPECT_EQ(path->itemText(0), "ALL");
  EXPECT_EQ(path->itemText(1), "Disk1");
  EXPECT_EQ(path->currentText(), "Disk1\\Music\\2003");
  EXPECT_EQ(ctl_.calls[0].type, 2);
  EXPECT_FALSE(state_.walk.DisksOnly);
  EXPECT_EQ(state_.shell.OpenDialogCount, 1);
  // A search there passes the folder with slashes.
  ctl_.hits = {{u"a.txt", 7, u"", 1, 0, u"FILE"}};
  Search(w, "a*");
  EXPECT_EQ(ctl_.calls.back().dir, u"Disk1/Music/2003");
  EXPECT_EQ(ctl_.calls.back().name, u"a*");
  EXPECT_EQ(ctl_.calls.back().note, u"");  // no category chosen: no note criterion
  auto* category = Find<QComboBox>(w, "lstCategory");
  EXPECT_EQ(category->count(), 3);
  category->setCurrentIndex(0);
  Search(w, "a*");
  EXPECT_EQ(ctl_.calls.back().note, u"WORK      | ");
  EXPECT_EQ(w.statusBar()->currentMessage(), "1 File(s) found.");
  EXPECT_FALSE(w.Collapsed());
}

TEST_F(FindWindow, FailedLookInFillIsReportedAndLeavesNoDisksOnly) {
  ctl_.answer = E_FAIL;
  script_.ExpectMessage(forms::vbOK, "ERROR:");
  frmFind w(Parts());
  EXPECT_FALSE(state_.walk.DisksOnly);
  EXPECT_TRUE(script_.Done());
}

TEST_F(FindWindow, NameHistory) {
  state_.settings.SearchHistory[0] = "old";
  {
    frmFind w(Parts());
    ctl_.hits.clear();
    for (int i = 0; i < 12; ++i) Search(w, QString("n%1").arg(i));
    Search(w, "n5");  // already there: does not move
    auto* names = Find<QComboBox>(w, "lstName");
    ASSERT_EQ(names->count(), 10);
    EXPECT_EQ(names->itemText(0), "n11");
    EXPECT_EQ(names->itemText(9), "n2");
    w.close();
  }
  EXPECT_EQ(state_.settings.SearchHistory[0], "n11");
  EXPECT_EQ(state_.settings.SearchHistory[9], "n2");
  EXPECT_EQ(state_.shell.OpenDialogCount, 0);
  frmFind again(Parts());
  auto* names = Find<QComboBox>(again, "lstName");
  ASSERT_EQ(names->count(), 10);
  EXPECT_EQ(names->itemText(0), "n11");
  EXPECT_EQ(names->itemText(9), "n2");
}

TEST_F(FindWindow, SortingAndOpeningHits) {
  frmFind w(Parts());
  ctl_.hits = {{u"Disk1\\b.txt", 7, u"", 1, 0, u"FILE"},
               {u"Disk1\\Sub", 7, u"", 1, 0, u"FOLDER"},
               {u"Disk1\\Sub\\c.txt", 7, u"", 1, 0, u"FILE"}};
  Search(w, "");
  auto* list = Find<QTreeView>(w, "lstResult");
  QAbstractItemModel* model = list->model();
  auto text = [&](int row) { return model->index(row, 0).data().toString(); };
  auto headerIcon = [&](int column) { return model->headerData(column, Qt::Horizontal, Qt::DecorationRole).value<QIcon>(); };
  ASSERT_EQ(model->rowCount(), 3);
  w.SortColumn(1);  // first click: descending
  EXPECT_EQ(text(0), "c.txt");
  EXPECT_EQ(text(2), " Sub");
  w.SortColumn(1);
  EXPECT_EQ(text(0), " Sub");
  EXPECT_EQ(w.Rows().front().text, " Sub");
  w.SortColumn(3);
  EXPECT_TRUE(headerIcon(0).isNull());
  EXPECT_FALSE(headerIcon(2).isNull());

  for (int i = 0; i < model->rowCount(); ++i) emit list->doubleClicked(model->index(i, 0));
  std::vector<std::pair<QString, bool>> want = {{"Disk1/Sub", true}, {"Disk1/Sub/c.txt", false}, {"Disk1/b.txt", false}};
  std::sort(opened_.begin(), opened_.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(opened_, want);
}

TEST_F(FindWindow, StopAndCloseDuringASearch) {
  frmFind w(Parts());
  w.show();
  ctl_.hits.clear();
  for (int i = 0; i < 1000; ++i) ctl_.hits.push_back({u"f" + QString::number(i).toStdU16String(), 7, u"", 1, 0, u"FILE"});
  auto* stop = Find<QPushButton>(w, "btnStop");
  auto* find = Find<QPushButton>(w, "btnFindNow");
  auto* newSearch = Find<QPushButton>(w, "btnNewSearch");
  QAbstractItemModel* list = Find<QTreeView>(w, "lstResult")->model();
  int yields = 0;
  script_.OnDoEvents([&] {
    ++yields;
    if (yields == 1) {
      EXPECT_TRUE(w.Searching());
      EXPECT_TRUE(stop->isEnabled());
      EXPECT_FALSE(find->isEnabled());
      EXPECT_FALSE(newSearch->isEnabled());
      EXPECT_GE(list->rowCount(), 35);  // the first screenful shows while the walk goes on
      QTest::mouseClick(stop, Qt::LeftButton);
    }
  });
  w.FindNow();
  EXPECT_EQ(w.Rows().size(), 200);  // the rows found before Stop stay, all of them listed
  EXPECT_EQ(list->rowCount(), 200);
  EXPECT_TRUE(find->isEnabled());
  EXPECT_FALSE(stop->isEnabled());

  // Closing during a search stops it and closes the window once the walk has returned.
  yields = 0;
  script_.OnDoEvents([&] {
    if (++yields == 1) {
      w.close();
      EXPECT_TRUE(w.isVisible());
    }
  });
  w.FindNow();
  EXPECT_EQ(w.Rows().size(), 200);
  QTest::qWait(20);
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(state_.shell.OpenDialogCount, 0);
}

TEST_F(FindWindow, TheCapMessageTakesItsAnswerWhileTheWalkIsGuarded) {
  // More hits than the window lists: the cap's box comes while the walk's input guard still
  // stands, and takes the user's answer through the real event path, whichever way it is given.
  const struct {
    const char* how;
    std::function<void(QWidget* box)> answer;
  } cases[] = {
      {"Enter", [](QWidget* box) { QTest::keyClick(box->windowHandle(), Qt::Key_Return); }},
      {"Escape", [](QWidget* box) { QTest::keyClick(box->windowHandle(), Qt::Key_Escape); }},
      {"click on OK",
       [](QWidget* box) {
         auto* ok = box->findChild<QPushButton*>();
         ASSERT_TRUE(ok);
         QTest::mouseClick(box->windowHandle(), Qt::LeftButton, {}, ok->mapTo(box, ok->rect().center()));
       }},
      {"close box", [](QWidget* box) { box->close(); }},
  };
  frmFind w(Parts());
  w.show();
  ctl_.hits.clear();
  for (int i = 0; i < 10050; ++i)
    ctl_.hits.push_back({u"f" + QString::number(i).toStdU16String(), 7, u"", 1, 0, u"FILE"});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    bool guarded = false;
    script_.ExpectRealMessage("Number of files found exceeds the maximum allowed", [&](QWidget* box) {
      guarded = WalkGuard::Active();
      c.answer(box);
    });
    Search(w, QStringLiteral("f*"));
    EXPECT_TRUE(guarded);
    EXPECT_TRUE(script_.Done());
    EXPECT_FALSE(w.Searching());
    EXPECT_EQ(w.Rows().size(), 10001);
    EXPECT_TRUE(w.isVisible());  // the box's closing is not the find window's
  }
}

TEST_F(FindWindow, PreviewWithoutRowsAndSaving) {
  frmFind w(Parts());
  script_.ExpectMessage(forms::vbOK, "No data available to print!");
  w.PrintPreview();
  ctl_.hits = {{u"Disk1\\a.txt", 7, u"", 1, 0, u"FILE"}};
  Search(w, "");
  const auto file = scratch_.path() / "out.txt";
  script_.ExpectSave(QString::fromStdString(file.string()));
  std::vector<QString> shellOpened;
  auto previous = forms::SetShellOpener([&](const forms::ShellRequest& r) {
    shellOpened.push_back(r.operation + " " + r.file);
    return forms::kShellExecuteDone;
  });
  w.SaveResults();
  forms::SetShellOpener(previous);
  EXPECT_EQ(shellOpened, std::vector<QString>{"open " + QString::fromStdString(file.string())});
  EXPECT_NE(testing_files::ReadBytes(file).find("\"a.txt\",0000000007"), std::string::npos);
  script_.ExpectSave(QString::fromStdString((scratch_.path() / "no" / "x.txt").string()));
  script_.ExpectMessage(forms::vbOK, "ERROR: 76");
  w.SaveResults();
  w.PrintPreview();  // the table is written; the preview call does nothing yet
  EXPECT_EQ(testing_files::ReadBytes(scratch_.path() / "DATAEXP.TXT").substr(0, 53),
            "NAME,DISK_SERIAL_NUMBER,LOCATION,SIZE,MODIFIED,NOTE\r\n");
  EXPECT_TRUE(script_.Done());
}

}  // namespace
