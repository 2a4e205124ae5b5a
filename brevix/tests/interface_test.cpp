// The control's automation interface driven by dispatch id, as the host's late binding does:
// the catalog file, items, notes, passwords, layouts, persistence, and the host services (tray
// icon, possible drives, folder browser, rotated text), with the faults the interface must
// not have.
#include <QImage>
#include <QSystemTrayIcon>

#include "forms.h"
#include "cfb.h"
#include "previewsurface.h"
#include "scriptedforms.h"
#include "surface_xcom.h"
#include "test_support.h"
#include "volumes_fixture.h"
#include "xcom/persist.h"
#include "xcom/tokens.h"

namespace brevixtest {
namespace {

#define EXPECT_FAILED(x) EXPECT_TRUE(FAILED(x))

using Interface = CatalogTest;

Variant ByRef(VARIANT* target) {
  Variant v;
  v.vt = VT_BYREF | VT_VARIANT;
  v.pvarVal = target;
  return v;
}

TEST_F(Interface, GetItemInfoOnADiskAFileAndAFolder) {
  Host h(catalog);
  Variant info;
  ASSERT_EQ(h.Call(DISPID_COMPCTL_GETITEMINFO, {Variant::String(u"Floppy1"), ByRef(&info)}), S_OK);
  EXPECT_EQ(InfoText(info, ITEMINFO_NAME), "Floppy1");
  EXPECT_EQ(InfoText(info, ITEMINFO_TYPE), "Floppy Disk");
  EXPECT_EQ(InfoAt(info, ITEMINFO_SERIAL).dblVal, 7.0);
  EXPECT_EQ(InfoAt(info, ITEMINFO_SIZE).llVal, 1457664);
  VariantClear(&info);
  ASSERT_EQ(h.Call(DISPID_COMPCTL_GETITEMINFO, {Variant::String(u"Floppy1/docs/A.txt"), ByRef(&info)}), S_OK);
  EXPECT_EQ(InfoText(info, ITEMINFO_NAME), "Floppy1/docs/A.txt");
  EXPECT_EQ(InfoText(info, ITEMINFO_TYPE), "TXT File");
  EXPECT_EQ(InfoAt(info, ITEMINFO_SIZE).llVal, 10);
  // A folder path finds no file of that name: the failure, through vtable and dispatch.
  xcom::Variant direct;
  EXPECT_EQ(h.ctl->GetItemInfo(Bstr(u"Floppy1/docs").Get(), &direct), STG_E_FILENOTFOUND);
  EXPECT_EQ(InfoText(direct, ITEMINFO_NAME), "Floppy1/docs");
  EXPECT_EQ(InfoAt(direct, ITEMINFO_SIZE).llVal, 0);
  EXPECT_EQ(h.Call(DISPID_COMPCTL_GETITEMINFO, {Variant::String(u"Floppy1/docs"), ByRef(&info)}), STG_E_FILENOTFOUND);
}

TEST_F(Interface, GetSelectedItemFromEitherPane) {
  Host h(catalog);
  Variant v = Variant::I4(42);
  // Source 2, and the list without a selection mark, leave the argument as it was.
  EXPECT_EQ(h.Call(DISPID_COMPCTL_GETSELECTEDITEM, {Variant::I2(2), ByRef(&v)}), S_OK);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(h.Call(DISPID_COMPCTL_GETSELECTEDITEM, {Variant::I2(1), ByRef(&v)}), S_OK);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 42);
  h.ctl->SetSelectedItem(Bstr(u"Floppy1/docs").Get(), 0);
  EXPECT_EQ(h.Call(DISPID_COMPCTL_GETSELECTEDITEM, {Variant::I2(0), ByRef(&v)}), S_OK);
  EXPECT_EQ(InfoText(v, ITEMINFO_NAME), "Floppy1/docs");
  EXPECT_EQ(InfoText(v, ITEMINFO_TYPE), "File Folder");
  h.list->setCurrentIndex(h.list->model()->index(h.ListRowOf("b.doc"), 0));
  EXPECT_EQ(h.Call(DISPID_COMPCTL_GETSELECTEDITEM, {Variant::I2(1), ByRef(&v)}), S_OK);
  EXPECT_EQ(InfoText(v, ITEMINFO_NAME), "Floppy1/docs/b.doc");
  EXPECT_EQ(InfoAt(v, ITEMINFO_SIZE).llVal, 2048);
  // In disk view the disk's name alone.
  h.ctl->SetSelectedItem(Bstr(u"").Get(), 0);
  h.list->setCurrentIndex(h.list->model()->index(h.ListRowOf("Boot"), 0));
  EXPECT_EQ(h.Call(DISPID_COMPCTL_GETSELECTEDITEM, {Variant::I2(1), ByRef(&v)}), S_OK);
  EXPECT_EQ(InfoText(v, ITEMINFO_NAME), "Boot");
  EXPECT_EQ(InfoText(v, ITEMINFO_TYPE), "Local Disk");
}

TEST_F(Interface, SetSelectedItemSelectsAndListsSubtrees) {
  Host h(catalog);
  h.ctl->SetSelectedItem(Bstr(u"Floppy1/docs").Get(), 0);
  h.sink.events.clear();
  EXPECT_EQ(h.Call(DISPID_COMPCTL_SETSELECTEDITEM, {Variant::String(u""), Variant::I2(0)}), S_OK);
  EXPECT_EQ(h.TreeSelection(), "ROOT");
  EXPECT_EQ(h.sink.events, std::vector<std::string>{"TreeNodeChanged([])"});  // before the call returned
  EXPECT_EQ(h.Call(DISPID_COMPCTL_SETSELECTEDITEM, {Variant::String(u"Floppy1/docs"), Variant::I2(1)}), S_OK);
  QStringList all = h.ListColumn();
  all.sort();
  EXPECT_EQ(all, QStringList({"A.txt", "b.doc", "deep.bin", "sub"}));
}

TEST_F(Interface, SetItemNoteAndTheRecursiveRule) {
  Host h(catalog);
  h.ctl->SetSelectedItem(Bstr(u"Floppy1/docs").Get(), 0);
  // A file note.
  EXPECT_EQ(h.Call(DISPID_COMPCTL_SETITEMNOTE, {Variant::String(u"Floppy1/docs/A.txt"), Variant::String(u"WORK      | a"),
                                                Variant::I2(0), Variant::String(u""), Variant::I4(0)}),
            S_OK);
  ItemRecord r;
  EXPECT_EQ(ReadBack(catalog, u"Floppy1/docs", u"A.txt", ItemFile, &r), S_OK);
  EXPECT_EQ(r.note, u"WORK      | a");
  // The list refilled for the tree's selection shows it.
  EXPECT_EQ(h.list->model()->index(h.ListRowOf("A.txt"), 4).data().toString(), "WORK      | a");
  // Recursively below a folder (a negative type asks for the walk).
  EXPECT_EQ(h.Call(DISPID_COMPCTL_SETITEMNOTE, {Variant::String(u"Floppy1/docs"), Variant::String(u"TOP       | "),
                                                Variant::I2(-1), Variant::String(u"NEW       |"), Variant::I4(0)}),
            S_OK);
  EXPECT_EQ(ReadBack(catalog, u"Floppy1", u"docs", ItemFolder, &r), S_OK);
  EXPECT_EQ(r.note, u"TOP       | ");
  EXPECT_EQ(ReadBack(catalog, u"Floppy1/docs", u"A.txt", ItemFile, &r), S_OK);
  EXPECT_EQ(r.note, u"NEW       | a");  // the category replaced, the text kept
  EXPECT_EQ(ReadBack(catalog, u"Floppy1/docs", u"b.doc", ItemFile, &r), S_OK);
  EXPECT_EQ(r.note, u"NEW       |");  // no note: the new one
  EXPECT_EQ(ReadBack(catalog, u"Floppy1/docs/sub", u"deep.bin", ItemFile, &r), S_OK);
  EXPECT_EQ(r.note, u"keep");  // a note without a category stays
  EXPECT_EQ(h.TreeSelection(), "docs");
  EXPECT_EQ(h.ListColumn(), QStringList({"sub", "A.txt", "b.doc"}));
  // A disk note; bad arguments.
  EXPECT_EQ(h.ctl->SetItemNote(Bstr(u"Boot").Get(), Bstr(u"disk note").Get(), 2, nullptr, 0), S_OK);
  EXPECT_EQ(ReadBack(catalog, u"", u"Boot", ItemDisk, &r), S_OK);
  EXPECT_EQ(r.note, u"disk note");
  EXPECT_EQ(h.ctl->SetItemNote(Bstr(u"nofolder").Get(), Bstr(u"x").Get(), 0, nullptr, 0), STG_E_INVALIDPARAMETER);
  EXPECT_EQ(h.ctl->SetItemNote(Bstr(u"Boot").Get(), Bstr(u"x").Get(), 7, nullptr, 0), STG_E_INVALIDPARAMETER);
  // A failed write is the answer.
  EXPECT_EQ(h.ctl->SetItemNote(Bstr(u"Floppy1/missing.txt").Get(), Bstr(u"x").Get(), 0, nullptr, 0),
            STG_E_FILENOTFOUND);
}

TEST_F(Interface, PropertiesPasswordsAndLayouts) {
  Host h(catalog);
  Variant v;
  EXPECT_EQ(h.Call(DISPID_COMPCTL_DOCFILENAME, {}, &v, DISPATCH_PROPERTYGET), S_OK);
  EXPECT_EQ(xcom::BstrView(v.bstrVal), catalog);
  EXPECT_EQ(h.Call(DISPID_COMPCTL_MASTERPASSWORD, {Variant::String(u"secret")}, nullptr, DISPATCH_PROPERTYPUT), S_OK);
  EXPECT_EQ(h.Call(DISPID_COMPCTL_USERPASSWORD, {Variant::String(u"user")}, nullptr, DISPATCH_PROPERTYPUT), S_OK);
  VariantClear(&v);
  EXPECT_EQ(h.Call(DISPID_COMPCTL_MASTERPASSWORD, {}, &v, DISPATCH_PROPERTYGET), S_OK);
  EXPECT_EQ(xcom::BstrView(v.bstrVal), u"secret");
  VariantClear(&v);
  EXPECT_EQ(h.Call(DISPID_COMPCTL_USERPASSWORD, {}, &v, DISPATCH_PROPERTYGET), S_OK);
  EXPECT_EQ(xcom::BstrView(v.bstrVal), u"user");
  EXPECT_EQ(h.ctl->put_UserPassword(nullptr), S_OK);  // null is sent as ""
  Bstr user;
  EXPECT_EQ(h.ctl->get_UserPassword(user.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(user.View(), u"");
  VariantClear(&v);
  EXPECT_EQ(h.Call(DISPID_COMPCTL_ALLOWDELETE, {}, &v, DISPATCH_PROPERTYGET), S_OK);
  EXPECT_EQ(v.lVal, 1);
  // ControlType 3 keeps the layout.
  EXPECT_EQ(h.Call(DISPID_COMPCTL_CONTROLTYPE, {Variant::I4(3)}, nullptr, DISPATCH_PROPERTYPUT), S_OK);
  VariantClear(&v);
  EXPECT_EQ(h.Call(DISPID_COMPCTL_CONTROLTYPE, {}, &v, DISPATCH_PROPERTYGET), S_OK);
  EXPECT_EQ(v.lVal, TWO_PANE);
  EXPECT_EQ(h.ctl->put_ControlType(TREE_PANE), S_OK);
  enControlType t{};
  EXPECT_EQ(h.ctl->get_ControlType(&t), S_OK);
  EXPECT_EQ(t, TREE_PANE);
  // By name, as late binding asks.
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"getpossibledrives")};
  DISPID id = 0;
  EXPECT_EQ(h.disp->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, DISPID_COMPCTL_GETPOSSIBLEDRIVES);
}

TEST_F(Interface, AnEmptyDocFileNameDetachesTheCatalog) {
  Host h(catalog);
  h.ctl->SetSelectedItem(Bstr(u"Floppy1").Get(), 0);
  EXPECT_EQ(h.Call(DISPID_COMPCTL_DOCFILENAME, {Variant::String(u"")}, nullptr, DISPATCH_PROPERTYPUT), S_OK);
  EXPECT_EQ(h.treeModel()->rowCount(), 0);
  EXPECT_EQ(h.list->model()->rowCount(), 0);
  xcom::ScopedToken cb(xcom::TokenKind::ItemCallback, +[](BSTR, double, BSTR, LONG, DATE, BSTR) -> LONG { return 0; });
  EXPECT_EQ(h.ctl->FindItem(nullptr, nullptr, nullptr, 0, 0, 0, 0, cb.value()), E_UNEXPECTED);
  EXPECT_EQ(h.ctl->CreateBackup(Bstr(dir.File16("b.dkc")).Get()), E_UNEXPECTED);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "b.dkc"));
  EXPECT_EQ(h.ctl->SetItemNote(Bstr(u"Boot").Get(), Bstr(u"x").Get(), 2, nullptr, 0), E_UNEXPECTED);
  Bstr pw;
  EXPECT_EQ(h.ctl->get_MasterPassword(pw.ReleaseAndGetAddressOf()), E_UNEXPECTED);
  EXPECT_EQ(h.ctl->put_MasterPassword(Bstr(u"x").Get()), E_UNEXPECTED);
  Variant v = Variant::I2(5);
  EXPECT_EQ(h.ctl->GetSelectedItem(0, &v), S_OK);
  EXPECT_EQ(v.vt, VT_I2);
  EXPECT_EQ(h.ctl->Refresh(), S_OK);
  EXPECT_EQ(h.treeModel()->rowCount(), 0);
  ItemRecord r;
  EXPECT_EQ(ReadBack(catalog, u"", u"Boot", ItemDisk, &r), S_OK);
  EXPECT_FALSE(r.note);
}

TEST_F(Interface, CallbackAndDeviceContextTokensAreChecked) {
  Host h(catalog);
  for (LONG bad : {0, -1, -5, 123456789}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(h.ctl->FindItem(nullptr, nullptr, nullptr, 0, 0, 0, 0, bad), STG_E_INVALIDPARAMETER);
    EXPECT_EQ(h.ctl->PrintText(bad, Bstr(u"x").Get(), 0, 0, 0, 10, 10, Bstr(u"Arial").Get(), 8, 0, 0, 0, 0),
              STG_E_INVALIDPARAMETER);
  }
  static int hits = 0;
  hits = 0;
  xcom::ScopedToken cb(xcom::TokenKind::ItemCallback, +[](BSTR, double, BSTR, LONG, DATE, BSTR) -> LONG {
    ++hits;
    return 0;
  });
  EXPECT_EQ(h.Call(DISPID_COMPCTL_FINDITEM, {Variant::String(u""), Variant::String(u"*.txt"), Variant(), Variant::I4(0),
                                             Variant::Date(0), Variant::Date(0), Variant::I2(0), Variant::I4(cb.value())}),
            S_OK);
  EXPECT_EQ(hits, 3);  // readme.txt, A.txt and the long folder's file
}

TEST_F(Interface, PrintTextCentresRotatedInk) {
  Host h(catalog);
  surface::UseComponentDeviceContexts();
  surface::PreviewSurface canvas(4, 4, 96);
  QRect box(40, 40, 200, 200);
  for (int angle : {0, 900}) {
    SCOPED_TRACE(angle);
    canvas.Cls();
    EXPECT_EQ(h.Call(DISPID_COMPCTL_PRINTTEXT,
                     {Variant::I4(canvas.hDC()), Variant::String(u"Label Text"), Variant::I4(angle), Variant::I4(box.left()),
                      Variant::I4(box.top()), Variant::I4(box.right()), Variant::I4(box.bottom()),
                      Variant::String(u"Arial"), Variant::I2(14), Variant::I4(0), Variant::I4(1), Variant::I4(0),
                      Variant::I4(0xFF)}),
              S_OK);
    const QImage& img = canvas.Image();
    QRect ink;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (qGray(img.pixel(x, y)) < 128) ink |= QRect(x, y, 1, 1);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.center().x(), box.center().x(), 6);
    EXPECT_NEAR(ink.center().y(), box.center().y(), 6);
    if (angle == 900) EXPECT_GT(ink.height(), 2 * ink.width());
    else EXPECT_GT(ink.width(), 2 * ink.height());
  }
}

TEST_F(Interface, PossibleDrivesOfFixtureDrives) {
  Host h(catalog);
  volumes::testing::IsolateFromMachine();
  std::filesystem::create_directories(dir.path() / "drives");
  volumes::testing::FixtureDrive a('A', 2, dir.path() / "drives");
  volumes::testing::FixtureDrive d('D', 5, dir.path() / "drives");
  volumes::testing::FixtureDrive e('E', 5, dir.path() / "drives");
  volumes::testing::FixtureDrive g('G', 2, dir.path() / "drives");
  Variant floppy = Variant::String(u"old"), zip = Variant::String(u"old"), cd = Variant::String(u"old");
  EXPECT_EQ(h.Call(DISPID_COMPCTL_GETPOSSIBLEDRIVES, {ByRef(&floppy), ByRef(&zip), ByRef(&cd)}), S_OK);
  EXPECT_EQ(xcom::BstrView(floppy.bstrVal), u"A:\\");
  EXPECT_EQ(xcom::BstrView(zip.bstrVal), u"G:\\");
  EXPECT_EQ(xcom::BstrView(cd.bstrVal), u"E:\\");
  volumes::testing::ResetMachineSources();
}

TEST_F(Interface, PossibleDrivesLeaveClassesWithoutADrive) {
  Host h(catalog);
  volumes::testing::IsolateFromMachine();
  Bstr floppy(u"F?"), zip(u"Z?"), cd(u"C?");
  BSTR f = floppy.Detach(), z = zip.Detach(), c = cd.Detach();
  EXPECT_EQ(h.ctl->GetPossibleDrives(&f, &z, &c), S_OK);
  EXPECT_EQ(xcom::BstrView(f), u"F?");
  EXPECT_EQ(xcom::BstrView(c), u"C?");
  SysFreeString(f);
  SysFreeString(z);
  SysFreeString(c);
  volumes::testing::ResetMachineSources();
}

TEST_F(Interface, BrowseForFolderAnswersTheDriveLetterForm) {
  Host h(catalog);
  volumes::testing::IsolateFromMachine();
  std::filesystem::create_directories(dir.path() / "stick/Music");
  volumes::testing::FixtureDrive g('G', 2, dir.path() / "stick");
  script.ExpectFolder(QString::fromStdString((dir.path() / "stick/Music").string()));
  Variant out;
  EXPECT_EQ(h.Call(DISPID_COMPCTL_BROWSEFORFOLDER, {Variant::String(u"")}, &out), S_OK);
  EXPECT_EQ(U8(xcom::BstrView(out.bstrVal)), "G:\\Music");
  EXPECT_EQ(script.Shown().back().text, "Select a Directory");
  // Cancel leaves the caller's value.
  script.ExpectFolder(std::nullopt);
  BSTR keep = SysAllocString(u"C:\\kept");
  EXPECT_EQ(h.ctl->BrowseForFolder(nullptr, &keep), S_OK);
  EXPECT_EQ(xcom::BstrView(keep), u"C:\\kept");
  SysFreeString(keep);
  EXPECT_TRUE(script.Done());
  volumes::testing::ResetMachineSources();
}

TEST_F(Interface, TrayIconWhereNoTrayCanShowIt) {
  Host h(catalog);
  EXPECT_EQ(h.Call(DISPID_COMPCTL_SHOWINSYSTRAY, {Variant::I2(1)}), S_OK);
  // The offscreen platform has no tray: the host's window is minimised, never lost.
  EXPECT_TRUE(h.frame.isVisible());
  EXPECT_TRUE(h.frame.isMinimized());
  // The icon's clicks reach the sink as the mouse messages of icon 1000.
  auto* icon = h.widget->findChild<QSystemTrayIcon*>();
  ASSERT_TRUE(icon);
  h.sink.events.clear();
  emit icon->activated(QSystemTrayIcon::Trigger);
  emit icon->activated(QSystemTrayIcon::DoubleClick);
  emit icon->activated(QSystemTrayIcon::Context);
  EXPECT_EQ(h.sink.events,
            (std::vector<std::string>{"TrayIconNotify(513,1000)", "TrayIconNotify(515,1000)", "TrayIconNotify(516,1000)"}));
  EXPECT_EQ(h.ctl->ShowInSysTray(0), S_OK);
  EXPECT_FALSE(h.widget->findChild<QSystemTrayIcon*>());
}

TEST_F(Interface, PersistedPropertiesRestoreTheCatalogAndTheLayout) {
  ComPtr<IStorage> stg;
  ASSERT_EQ(StgCreateDocfile(dir.File16("form.stg").c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                             stg.GetAddressOf()),
            S_OK);
  ComPtr<IStream> stream;
  ASSERT_EQ(stg->CreateStream(u"Contents", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                              stream.GetAddressOf()),
            S_OK);
  {
    Host h(catalog, LIST_PANE);
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(h.ctl.As(&persist), S_OK);
    CLSID clsid{};
    EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_CompCtl);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ULARGE_INTEGER size{};
    EXPECT_EQ(persist->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, 16 + catalog.size() * 2);
    EXPECT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
  }
  LARGE_INTEGER zero{};
  ASSERT_EQ(stream->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
  ComPtr<ICompCtl> again;
  ASSERT_EQ(CoCreateInstance(CLSID_CompCtl, nullptr, CLSCTX_INPROC_SERVER, IID_ICompCtl, again.ReleaseAndGetAddressOfVoid()),
            S_OK);
  ComPtr<IPersistStreamInit> load;
  ASSERT_EQ(again.As(&load), S_OK);
  EXPECT_EQ(load->Load(stream.Get()), S_OK);
  Bstr name;
  EXPECT_EQ(again->get_DocFileName(name.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(name.View(), catalog);
  enControlType type{};
  EXPECT_EQ(again->get_ControlType(&type), S_OK);
  EXPECT_EQ(type, LIST_PANE);
  // A stream cut short restores nothing.
  ASSERT_EQ(stream->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
  ULARGE_INTEGER six{};
  six.QuadPart = 6;
  ASSERT_EQ(stream->SetSize(six), S_OK);
  ComPtr<ICompCtl> third;
  ASSERT_EQ(CoCreateInstance(CLSID_CompCtl, nullptr, CLSCTX_INPROC_SERVER, IID_ICompCtl, third.ReleaseAndGetAddressOfVoid()),
            S_OK);
  ASSERT_EQ(third.As(&load), S_OK);
  EXPECT_FAILED(load->Load(stream.Get()));
  EXPECT_EQ(third->get_DocFileName(name.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(name.View(), u"");
}

TEST_F(Interface, CreateBackupCopiesTheCatalog) {
  Host h(catalog);
  const std::u16string backup = dir.File16("backup.dkc");
  EXPECT_EQ(h.Call(DISPID_COMPCTL_CREATEBACKUP, {Variant::String(backup)}), S_OK);
  EXPECT_EQ(ReadBack(backup, u"Floppy1/docs/sub", u"deep.bin", ItemFile), S_OK);
  EXPECT_EQ(h.Call(DISPID_COMPCTL_REFRESH, {}), S_OK);
  EXPECT_EQ(h.Call(DISPID_COMPCTL_RENAME, {Variant::I2(5)}), S_OK);  // neither pane: nothing
}

}  // namespace
}  // namespace brevixtest
