// The control's window in a host: tree order and images, select by path, the list's columns
// and sorting, renames and deletes with their confirmations, and the events a sink receives.
#include <QTest>
#include <set>

#include "forms.h"
#include "scriptedforms.h"
#include "test_support.h"

namespace brevixtest {
namespace {

constexpr int kImageRole = Qt::UserRole + 1;

using Panes = CatalogTest;

QStringList Children(QStandardItem* item) {
  QStringList out;
  for (int r = 0; item && r < item->rowCount(); ++r) out << item->child(r)->text();
  return out;
}

TEST_F(Panes, TreeLoadsDisksAndFoldersInOrderWithImages) {
  Host h(catalog);
  QStandardItem* root = h.treeModel()->item(0);
  ASSERT_TRUE(root);
  EXPECT_EQ(root->text(), "ROOT");
  EXPECT_EQ(root->data(kImageRole).toInt(), 10);
  EXPECT_TRUE(h.tree->isExpanded(root->index()));
  EXPECT_EQ(Children(root), QStringList({"Boot", "CD Music", "Floppy1", "Share", "zip disk"}));
  std::map<QString, int> images;
  for (int r = 0; r < root->rowCount(); ++r) images[root->child(r)->text()] = root->child(r)->data(kImageRole).toInt();
  EXPECT_EQ(images, (std::map<QString, int>{{"Boot", 8}, {"CD Music", 5}, {"Floppy1", 3}, {"Share", 9}, {"zip disk", 4}}));
  QStandardItem* floppy = root->child(2);
  // Folders only, case ignored, long and non-ASCII names shown whole.
  EXPECT_EQ(Children(floppy),
            QStringList({QString::fromStdU16String(kLongFolder), "Bilder", "docs", QString::fromUtf8("Ärger")}));
  EXPECT_EQ(floppy->child(2)->data(kImageRole).toInt(), 1);
  EXPECT_EQ(floppy->child(2)->data(kImageRole + 1).toInt(), 2);
  EXPECT_EQ(Children(floppy->child(2)), QStringList({"sub"}));
}

TEST_F(Panes, SelectByPath) {
  Host h(catalog);
  struct Case {
    const char16_t* path;
    const char* selected;
  } cases[] = {
      {u"Floppy1/docs/sub", "sub"}, {u"Floppy1/nothere/sub", "Floppy1"}, {u"Floppy1/", "Floppy1"},
      {u"", "ROOT"},                {u"Floppy1/DOCS", "Floppy1"},        {u"nodisk", "ROOT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.path));
    EXPECT_EQ(h.ctl->SetSelectedItem(Bstr(c.path).Get(), 0), S_OK);
    EXPECT_EQ(h.TreeSelection(), c.selected);
  }
}

TEST_F(Panes, ColumnsFollowTheViewFromTheFirstSelection) {
  Host h(catalog);
  // A disk selected first shows the folder view's columns at once.
  h.ctl->SetSelectedItem(Bstr(u"Floppy1").Get(), 0);
  EXPECT_EQ(h.Headers(), QStringList({"Name", "Size", "Type", "Modified", "Category/Note"}));
  EXPECT_EQ(h.list->header()->sectionSize(0), 160);
  EXPECT_EQ(h.ListColumn(), QStringList({QString::fromStdU16String(kLongFolder), "Bilder", "docs",
                                         QString::fromUtf8("Ärger"), "readme.txt"}));
  EXPECT_EQ(h.list->model()->index(4, 1).data().toString(), "   1K");
  EXPECT_EQ(h.list->model()->index(0, 1).data().toString(), "");
  EXPECT_EQ(h.list->model()->index(4, 3).data().toString(), "01/01/2020");
  h.ctl->SetSelectedItem(Bstr(u"").Get(), 0);
  EXPECT_EQ(h.Headers(), QStringList({"Name", "Serial #", "Type", "Modified", "Free Space", "Category/Note"}));
  EXPECT_EQ(h.ListColumn(1), QStringList({"9", "(none)", "7", "10", "8"}));
  h.ctl->SetSelectedItem(Bstr(u"Floppy1/docs").Get(), 0);
  EXPECT_EQ(h.list->model()->columnCount(), 5);
  h.ctl->SetSelectedItem(Bstr(u"").Get(), 0);
  EXPECT_EQ(h.list->model()->columnCount(), 6);
}

TEST_F(Panes, HeaderClicksFlipTheDirection) {
  Host h(catalog);
  h.ctl->SetSelectedItem(Bstr(u"Floppy1/docs").Get(), 0);
  EXPECT_EQ(h.ListColumn(), QStringList({"sub", "A.txt", "b.doc"}));
  auto click = [&](int c) {
    QHeaderView* header = h.list->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(c) + 5, header->height() / 2));
  };
  click(0);  // name, now descending: files first
  EXPECT_EQ(h.ListColumn(), QStringList({"b.doc", "A.txt", "sub"}));
  click(1);  // size ascending: folders first
  EXPECT_EQ(h.ListColumn(), QStringList({"sub", "A.txt", "b.doc"}));
  click(1);
  EXPECT_EQ(h.ListColumn(), QStringList({"b.doc", "A.txt", "sub"}));
  EXPECT_FALSE(h.list->model()->headerData(1, Qt::Horizontal, Qt::DecorationRole).isNull());
  EXPECT_TRUE(h.list->model()->headerData(0, Qt::Horizontal, Qt::DecorationRole).isNull());
  // Refresh keeps the order and the selection.
  EXPECT_EQ(h.ctl->Refresh(), S_OK);
  EXPECT_EQ(h.TreeSelection(), "docs");
  EXPECT_EQ(h.ListColumn(), QStringList({"b.doc", "A.txt", "sub"}));
}

// Starts a rename of the tree's selection and types `text` into its editor.
void TypeRename(Host& h, SHORT pane, const QString& text) {
  QApplication::processEvents();
  QTreeView* view = pane == 0 ? h.tree : h.list;
  const QList<QLineEdit*> before = view->findChildren<QLineEdit*>();
  EXPECT_EQ(h.ctl->Rename(pane), S_OK);
  QLineEdit* editor = nullptr;
  for (QLineEdit* e : view->findChildren<QLineEdit*>())
    if (!before.contains(e)) editor = e;
  if (!editor) return;
  editor->setText(text);
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();
}

const QString kRename = "You are about to rename an item in your disk inventory.  Remember to update";

TEST_F(Panes, TreeRenameOfADisk) {
  Host h(catalog);
  h.ctl->SetSelectedItem(Bstr(u"Floppy1").Get(), 0);
  script.ExpectMessage(forms::vbOK, kRename);
  TypeRename(h, 0, QString(40, 'N'));
  EXPECT_TRUE(script.Done());
  const std::u16string cut(31, u'N');
  EXPECT_EQ(h.TreeSelection(), U8(cut));
  EXPECT_EQ(ReadBack(catalog, u"", cut, ItemDisk), S_OK);
  EXPECT_EQ(ReadBack(catalog, u"", u"Floppy1", ItemDisk), STG_E_FILENOTFOUND);
  // The disk kept its contents: nothing inside it was renamed.
  EXPECT_EQ(ReadBack(catalog, cut, u"docs", ItemFolder), S_OK);

  // A name in use (any case) is refused and the shown name stays.
  script.ExpectMessage(forms::vbOK, kRename)
      .ExpectMessage(forms::vbOK, "The specified Item Name is already in use.\nPlease enter a different name.");
  TypeRename(h, 0, "BOOT");
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(h.TreeSelection(), U8(cut));

  // Cancel at the warning: no editor.
  script.ExpectMessage(forms::vbCancel, kRename);
  TypeRename(h, 0, "Other");
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(h.TreeSelection(), U8(cut));
}

TEST_F(Panes, FixedDisksFoldersAndTheRootKeepTheirNames) {
  Host h(catalog);
  for (const char16_t* path : {u"Boot", u"Share"}) {
    h.ctl->SetSelectedItem(Bstr(path).Get(), 0);
    script.ExpectMessage(forms::vbOK, kRename)
        .ExpectMessage(forms::vbOK, "Disk names associated with hard drives or network drives may not be changed.");
    TypeRename(h, 0, "X");
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(h.TreeSelection(), U8(path));
  }
  h.ctl->SetSelectedItem(Bstr(u"Floppy1/docs").Get(), 0);
  script.ExpectMessage(forms::vbOK, kRename);
  TypeRename(h, 0, "X");
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(h.TreeSelection(), "docs");
  // AllowDelete 0: not even the warning.
  h.ctl->put_AllowDelete(0);
  h.ctl->SetSelectedItem(Bstr(u"Floppy1").Get(), 0);
  TypeRename(h, 0, "X");
  EXPECT_EQ(h.TreeSelection(), "Floppy1");
}

TEST_F(Panes, ListRenameOfADiskInDiskView) {
  Host h(catalog);
  h.ctl->SetSelectedItem(Bstr(u"").Get(), 0);
  h.list->setCurrentIndex(h.list->model()->index(h.ListRowOf("zip disk"), 0));
  script.ExpectMessage(forms::vbOK, kRename);
  TypeRename(h, 1, "  Zip Two");
  EXPECT_TRUE(script.Done());
  EXPECT_GE(h.ListRowOf("Zip Two"), 0);
  EXPECT_EQ(ReadBack(catalog, u"", u"Zip Two", ItemDisk), S_OK);
  EXPECT_EQ(Children(h.treeModel()->item(0)).count("Zip Two"), 1);
}

const QString kDelete = "You are about to delete an item in your disk inventory.";
const QString kNameRefused = "Disk names may not contain the characters : \\ / and may be at most 31 characters long.";

// Qt's warnings while it lives ("edit: editing failed" when an edit was refused as a fault).
struct QtWarnings {
  QtWarnings() { previous = qInstallMessageHandler(&Record); }
  ~QtWarnings() { qInstallMessageHandler(previous); }
  static void Record(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg) seen() << text;
  }
  static QStringList& seen() {
    static QStringList s;
    return s;
  }
  QtMessageHandler previous;
};

TEST_F(Panes, RenamesToNamesAPathCannotReachAreRefusedInBothPanes) {
  Host h(catalog);
  QtWarnings warnings;
  const QString names[] = {"Backup/2024", "Backup\\2024", "C:", QString(32, 'D')};
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    // A disk, in the tree and in the list's disk view: told why, the name kept.
    h.ctl->SetSelectedItem(Bstr(u"Floppy1").Get(), 0);
    script.ExpectMessage(forms::vbOK, kRename).ExpectMessage(forms::vbOK, kNameRefused);
    TypeRename(h, 0, name);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(h.TreeSelection(), "Floppy1");
    h.ctl->SetSelectedItem(Bstr(u"").Get(), 0);
    h.list->setCurrentIndex(h.list->model()->index(h.ListRowOf("Floppy1"), 0));
    script.ExpectMessage(forms::vbOK, kRename).ExpectMessage(forms::vbOK, kNameRefused);
    TypeRename(h, 1, name);
    EXPECT_TRUE(script.Done());
    EXPECT_GE(h.ListRowOf("Floppy1"), 0);
    EXPECT_EQ(h.ListRowOf(name), -1);
    // A folder in the tree, a folder and a file in the list: no editor opens.
    h.ctl->SetSelectedItem(Bstr(u"Floppy1/docs").Get(), 0);
    script.ExpectMessage(forms::vbOK, kRename);
    TypeRename(h, 0, name);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(h.TreeSelection(), "docs");
    for (const char* item : {"sub", "A.txt"}) {
      h.list->setCurrentIndex(h.list->model()->index(h.ListRowOf(item), 0));
      script.ExpectMessage(forms::vbOK, kRename);
      TypeRename(h, 1, name);
      EXPECT_TRUE(script.Done());
      EXPECT_GE(h.ListRowOf(item), 0);
    }
  }
  // A refusal is the control's answer, not a failed edit.
  EXPECT_FALSE(QtWarnings::seen().join("\n").contains("editing failed")) << QtWarnings::seen().join("\n").toStdString();
  // Every item kept its name and everything inside is still reached by path.
  EXPECT_EQ(ReadBack(catalog, u"Floppy1/docs/sub", u"deep.bin", ItemFile), S_OK);
  EXPECT_EQ(ReadBack(catalog, u"Floppy1/docs", u"A.txt", ItemFile), S_OK);
  EXPECT_EQ(ReadBack(catalog, u"Floppy1", u"docs", ItemFolder), S_OK);
  Variant v;
  EXPECT_EQ(h.ctl->GetItemInfo(Bstr(u"Floppy1/docs/sub/deep.bin").Get(), &v), S_OK);
  EXPECT_EQ(h.ctl->Refresh(), S_OK);
  EXPECT_EQ(Children(h.treeModel()->item(0)), QStringList({"Boot", "CD Music", "Floppy1", "Share", "zip disk"}));
}

// The catalog path GetSelectedItem(1) answers for the list's row `row`.
std::string ListRowPath(Host& h, int row) {
  h.list->setCurrentIndex(h.list->model()->index(row, 0));
  Variant v;
  EXPECT_EQ(h.ctl->GetSelectedItem(1, &v), S_OK);
  return InfoText(v, ITEMINFO_NAME);
}

std::set<std::string> ListPaths(Host& h) {
  std::set<std::string> out;
  for (int r = 0; r < h.list->model()->rowCount(); ++r) out.insert(ListRowPath(h, r));
  return out;
}

int ListRowWithPath(Host& h, const std::string& path) {
  for (int r = 0; r < h.list->model()->rowCount(); ++r)
    if (ListRowPath(h, r) == path) return r;
  return -1;
}

TEST_F(Panes, ASubtreeListsRowsThatNameTheirOwnItems) {
  {
    // Names met on several levels, and a folder whose name holds the walk's own separator.
    ComPtr<IOStorage> doc = NewDocument();
    ASSERT_EQ(doc->LoadDoc(Bstr(catalog).Get()), S_OK);
    Add(doc.Get(), u"Floppy1/docs/sub", Record(ItemFile, u"readme.txt", 9));
    Add(doc.Get(), u"Floppy1", Record(ItemFolder, u"x\\y"));
    Add(doc.Get(), u"Floppy1/x\\y", Record(ItemFile, u"in.txt", 1));
    Add(doc.Get(), u"Floppy1", Record(ItemFolder, u"x"));
    Add(doc.Get(), u"Floppy1/x", Record(ItemFolder, u"y"));
    Add(doc.Get(), u"Floppy1/x/y", Record(ItemFile, u"in.txt", 2));
    ASSERT_EQ(doc->CloseDoc(0), S_OK);
  }
  Host h(catalog);
  h.ctl->SetSelectedItem(Bstr(u"Floppy1/docs/sub").Get(), 0);
  ASSERT_EQ(h.ctl->SetSelectedItem(Bstr(u"Floppy1").Get(), 1), S_OK);
  const std::string longFolder = "Floppy1/" + U8(kLongFolder);
  EXPECT_EQ(ListPaths(h),
            (std::set<std::string>{longFolder, longFolder + "/inside a long folder.txt", "Floppy1/Bilder",
                                   "Floppy1/docs", "Floppy1/docs/sub", "Floppy1/docs/sub/deep.bin",
                                   "Floppy1/docs/sub/readme.txt", "Floppy1/docs/A.txt", "Floppy1/docs/b.doc",
                                   "Floppy1/x\\y", "Floppy1/x\\y/in.txt", "Floppy1/x", "Floppy1/x/y",
                                   "Floppy1/x/y/in.txt", U8(u"Floppy1/Ärger"), "Floppy1/readme.txt"}));
  // The deep row's delete deletes exactly its own item.
  int row = ListRowWithPath(h, "Floppy1/docs/sub/readme.txt");
  ASSERT_GE(row, 0);
  h.list->setCurrentIndex(h.list->model()->index(row, 0));
  script.ExpectMessage(forms::vbOK, kDelete);
  QTest::keyClick(h.list, Qt::Key_Delete);
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(ReadBack(catalog, u"Floppy1/docs/sub", u"readme.txt", ItemFile), STG_E_FILENOTFOUND);
  EXPECT_EQ(ReadBack(catalog, u"Floppy1", u"readme.txt", ItemFile), S_OK);
  EXPECT_EQ(ListRowWithPath(h, "Floppy1/docs/sub/readme.txt"), -1);
  EXPECT_GE(ListRowWithPath(h, "Floppy1/readme.txt"), 0);
  row = ListRowWithPath(h, "Floppy1/x/y/in.txt");
  ASSERT_GE(row, 0);
  h.list->setCurrentIndex(h.list->model()->index(row, 0));
  script.ExpectMessage(forms::vbOK, kDelete);
  QTest::keyClick(h.list, Qt::Key_Delete);
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(ReadBack(catalog, u"Floppy1/x/y", u"in.txt", ItemFile), STG_E_FILENOTFOUND);
  EXPECT_EQ(ReadBack(catalog, u"Floppy1/x\\y", u"in.txt", ItemFile), S_OK);

  // A deep folder: its rows and its tree item go; the tree's selection inside it moves up.
  row = ListRowWithPath(h, "Floppy1/docs/sub");
  ASSERT_GE(row, 0);
  h.list->setCurrentIndex(h.list->model()->index(row, 0));
  script.ExpectMessage(forms::vbOK, kDelete);
  QTest::keyClick(h.list, Qt::Key_Delete);
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(ReadBack(catalog, u"Floppy1/docs", u"sub", ItemFolder), STG_E_FILENOTFOUND);
  EXPECT_EQ(ReadBack(catalog, u"Floppy1/docs", u"A.txt", ItemFile), S_OK);
  EXPECT_EQ(h.TreeSelection(), "docs");
  EXPECT_EQ(Children(h.treeModel()->item(0)->child(2)->child(2)), QStringList());

  // A double click on a subtree row's folder selects that folder in the tree.
  ASSERT_EQ(h.ctl->SetSelectedItem(Bstr(u"Floppy1").Get(), 1), S_OK);
  row = ListRowWithPath(h, "Floppy1/x/y");
  ASSERT_GE(row, 0);
  h.sink.events.clear();
  QTest::mouseDClick(h.list->viewport(), Qt::LeftButton, {},
                     h.list->visualRect(h.list->model()->index(row, 0)).center());
  ASSERT_FALSE(h.sink.events.empty());
  EXPECT_EQ(h.sink.events.back(), "DblClick(100)");
  EXPECT_EQ(h.TreeSelection(), "y");
}

TEST_F(Panes, TreeDeleteAsksAndRemovesOnlyWhatTheCatalogLetGo) {
  Host h(catalog);
  h.ctl->SetSelectedItem(Bstr(u"Floppy1/docs").Get(), 0);
  script.ExpectMessage(forms::vbCancel, kDelete);
  QTest::keyClick(h.tree, Qt::Key_Delete);
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(ReadBack(catalog, u"Floppy1", u"docs", ItemFolder), S_OK);
  EXPECT_EQ(h.TreeSelection(), "docs");

  script.ExpectMessage(forms::vbOK, kDelete);
  QTest::keyClick(h.tree, Qt::Key_Delete);
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(ReadBack(catalog, u"Floppy1", u"docs", ItemFolder), STG_E_FILENOTFOUND);
  EXPECT_EQ(h.TreeSelection(), "Floppy1");
  EXPECT_EQ(h.ListRowOf("docs"), -1);
  EXPECT_EQ(ReadBack(catalog, u"", u"Floppy1", ItemDisk), S_OK);

  // The root is never deleted, and no selection deletes nothing.
  h.ctl->SetSelectedItem(Bstr(u"").Get(), 0);
  QTest::keyClick(h.tree, Qt::Key_Delete);
  h.tree->selectionModel()->clearCurrentIndex();
  QTest::keyClick(h.tree, Qt::Key_Delete);
  EXPECT_EQ(h.treeModel()->item(0)->rowCount(), 5);
}

TEST_F(Panes, ListDeleteByTheRecordsFullName) {
  Host h(catalog);
  h.ctl->SetSelectedItem(Bstr(u"Floppy1").Get(), 0);
  const int row = h.ListRowOf(QString::fromStdU16String(kLongFolder));
  ASSERT_GE(row, 0);
  h.list->setCurrentIndex(h.list->model()->index(row, 0));
  script.ExpectMessage(forms::vbOK, kDelete);
  QTest::keyClick(h.list, Qt::Key_Delete);
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(ReadBack(catalog, u"Floppy1", kLongFolder, ItemFolder), STG_E_FILENOTFOUND);
  EXPECT_EQ(h.ListRowOf(QString::fromStdU16String(kLongFolder)), -1);
  EXPECT_EQ(Children(h.treeModel()->item(0)->child(2)).count(QString::fromStdU16String(kLongFolder)), 0);
  // A file, after Cancel and then OK.
  h.list->setCurrentIndex(h.list->model()->index(h.ListRowOf("readme.txt"), 0));
  script.ExpectMessage(forms::vbCancel, kDelete);
  QTest::keyClick(h.list, Qt::Key_Delete);
  EXPECT_EQ(ReadBack(catalog, u"Floppy1", u"readme.txt", ItemFile), S_OK);
  script.ExpectMessage(forms::vbOK, kDelete);
  QTest::keyClick(h.list, Qt::Key_Delete);
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(ReadBack(catalog, u"Floppy1", u"readme.txt", ItemFile), STG_E_FILENOTFOUND);
  // No selection: nothing asked, nothing deleted.
  h.list->selectionModel()->clearCurrentIndex();
  QTest::keyClick(h.list, Qt::Key_Delete);
}

TEST_F(Panes, EventsReachTheSink) {
  Host h(catalog);
  h.sink.events.clear();
  const QRect floppy = h.tree->visualRect(h.treeModel()->item(0)->child(2)->index());
  QTest::mouseClick(h.tree->viewport(), Qt::LeftButton, {}, floppy.center());
  EXPECT_EQ(h.sink.events, (std::vector<std::string>{"Click(0)", "TreeNodeChanged([Floppy1])"}));
  h.sink.events.clear();
  // A list click without a selection mark, then a double click on a file and on a folder.
  QTest::mouseClick(h.list->viewport(), Qt::LeftButton, {}, QPoint(5, h.list->viewport()->height() - 3));
  EXPECT_EQ(h.sink.events, (std::vector<std::string>{"Click(1)", "TreeNodeChanged(empty)"}));
  h.sink.events.clear();
  const int file = h.ListRowOf("readme.txt");
  QTest::mouseDClick(h.list->viewport(), Qt::LeftButton, {}, h.list->visualRect(h.list->model()->index(file, 0)).center());
  EXPECT_EQ(h.sink.events.back(), "DblClick(1)");
  h.sink.events.clear();
  const int docs = h.ListRowOf("docs");
  QTest::mouseDClick(h.list->viewport(), Qt::LeftButton, {}, h.list->visualRect(h.list->model()->index(docs, 0)).center());
  ASSERT_FALSE(h.sink.events.empty());
  EXPECT_EQ(h.sink.events.back(), "DblClick(100)");
  EXPECT_NE(std::find(h.sink.events.begin(), h.sink.events.end(), "TreeNodeChanged([Floppy1/docs])"), h.sink.events.end());
  EXPECT_EQ(h.TreeSelection(), "docs");
  h.sink.events.clear();
  QTest::keyClick(h.list, Qt::Key_F5);
  QTest::keyClick(h.tree, Qt::Key_F5);
  EXPECT_EQ(h.sink.events, (std::vector<std::string>{"KeyDown(1,116,0)", "KeyDown(1,116,1)"}));
  h.sink.events.clear();
  // A right click on empty tree space clears the selection: the root's record, then RClick.
  QTest::mouseClick(h.tree->viewport(), Qt::RightButton, {}, QPoint(5, h.tree->viewport()->height() - 3));
  EXPECT_EQ(h.sink.events, (std::vector<std::string>{"TreeNodeChanged([])", "RClick(0)"}));
}

TEST_F(Panes, ASinkCallingBackDuringTheSelectionChange) {
  Host h(catalog);
  std::vector<std::string> seen;
  h.sink.onEvent = [&](DISPID id) {
    if (id != DISPID_VEMRA_TREENODECHANGED) return;
    Variant v;
    EXPECT_EQ(h.ctl->GetSelectedItem(0, &v), S_OK);
    seen.push_back(InfoText(v, ITEMINFO_NAME));
    // Walks that would refill the panes wait for the event to end.
    EXPECT_EQ(h.ctl->Refresh(), STG_E_INUSE);
    EXPECT_EQ(h.ctl->SetSelectedItem(Bstr(u"Boot").Get(), 0), STG_E_INUSE);
  };
  h.ctl->SetSelectedItem(Bstr(u"Floppy1/docs").Get(), 0);
  h.sink.onEvent = nullptr;
  EXPECT_EQ(seen, std::vector<std::string>{"Floppy1/docs"});
  // The list still shows the folder the tree selected, and the catalog is closed again.
  EXPECT_EQ(h.ListColumn(), QStringList({"sub", "A.txt", "b.doc"}));
  ComPtr<IOStorage> other = NewDocument();
  EXPECT_EQ(other->LoadDoc(Bstr(catalog).Get()), S_OK);
  other->CloseDoc(0);
}

TEST_F(Panes, TwoControlsKeepTheirOwnLists) {
  Host a(catalog);
  Host b(catalog);
  a.ctl->SetSelectedItem(Bstr(u"Floppy1/docs").Get(), 0);
  b.ctl->SetSelectedItem(Bstr(u"").Get(), 0);
  EXPECT_EQ(a.ListColumn(), QStringList({"sub", "A.txt", "b.doc"}));
  EXPECT_EQ(b.list->model()->rowCount(), 5);
  a.ctl->SetSelectedItem(Bstr(u"Floppy1/docs/sub").Get(), 1);
  EXPECT_EQ(a.ListColumn(), QStringList({"deep.bin"}));
  EXPECT_EQ(b.list->model()->rowCount(), 5);
}

TEST_F(Panes, SplitterAndLayouts) {
  Host h(catalog);
  h.widget->resize(800, 400);
  EXPECT_EQ(h.tree->geometry(), QRect(0, 0, 200, 400));
  EXPECT_EQ(h.list->geometry().x(), 204);
  QTest::mousePress(h.widget, Qt::LeftButton, {}, QPoint(202, 100));
  QTest::mouseMove(h.widget, QPoint(300, 100));
  QTest::mouseRelease(h.widget, Qt::LeftButton, {}, QPoint(300, 100));
  EXPECT_EQ(h.tree->width(), 297);
  EXPECT_EQ(h.list->geometry().x(), 301);
  h.widget->resize(240, 400);
  EXPECT_EQ(h.tree->width(), 189);  // the saved position is cut to cx - 51
  Host l(catalog, LIST_PANE);
  EXPECT_FALSE(l.tree->isVisible());
  EXPECT_EQ(l.list->geometry(), QRect(0, 0, l.widget->width(), l.widget->height()));
  EXPECT_EQ(l.Headers().size(), 5);
  Host t(catalog, TREE_PANE);
  EXPECT_FALSE(t.list->isVisible());
  EXPECT_EQ(t.treeModel()->rowCount(), 0);  // nothing is loaded until Refresh
  EXPECT_EQ(t.ctl->Refresh(), S_OK);
  EXPECT_EQ(t.treeModel()->item(0)->rowCount(), 5);
}

}  // namespace
}  // namespace brevixtest
