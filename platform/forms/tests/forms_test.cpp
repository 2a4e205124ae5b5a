// The forms services: the scripted implementation a widget test drives, the process-wide
// current instance, and the Qt implementation answered from the event loop.
#include <QApplication>
#include <QComboBox>
#include <QPrintDialog>
#include <QTemporaryDir>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

#include "forms.h"
#include "qtforms.h"
#include "scriptedforms.h"
#include "vbrt.h"

using namespace forms;

namespace {

// A window whose buttons ask what the program's windows ask.
class AskingWindow : public QWidget {
 public:
  AskingWindow() {
    setObjectName(QStringLiteral("frmAsking"));
    auto* layout = new QVBoxLayout(this);
    ask = new QPushButton(QStringLiteral("Ask"), this);
    save = new QPushButton(QStringLiteral("Save"), this);
    layout->addWidget(ask);
    layout->addWidget(save);
    connect(ask, &QPushButton::clicked, this, [this] {
      answer = MsgBox(QStringLiteral("The disk you are trying to add already exists in your library. Would you like to "
                                     "update it now?"),
                      vbYesNo + vbQuestion);
      name = InputBox(QStringLiteral("Media type:"), QStringLiteral("Add Removable Media Type"), QStringLiteral("Zip"));
    });
    connect(save, &QPushButton::clicked, this, [this] {
      CommonDialog dlg;
      dlg.DialogTitle = QStringLiteral("Save Custom Template");
      dlg.FileName = QStringLiteral("*.DKT");
      dlg.DefaultExt = QStringLiteral("DKT");
      dlg.Flags = 32774;
      try {
        dlg.ShowSave();
        saved = dlg.FileName;
      } catch (const vbrt::RuntimeError& e) {
        error = e.number();
      }
    });
  }
  QPushButton* ask;
  QPushButton* save;
  int answer = 0;
  QString name;
  QString saved;
  int error = 0;
};

// Presses a button of the application's modal dialog once the event loop runs it.
void AnswerModalLater(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
      QTimer::singleShot(10, [act] { act(QApplication::activeModalWidget()); });
      return;
    }
    act(modal);
  });
}

// The printer dialog as the preview's Print primes it for a five-page document on the PDF
// printer: the range is chosen, from and to the current page.
PrinterDialogRequest PagedPrint(WORD currentPage) {
  PrinterDialogRequest r;
  r.Flags = PD_USEDEVMODECOPIESANDCOLLATE | PD_NOSELECTION | PD_PAGENUMS;
  r.FromPage = currentPage;
  r.ToPage = currentPage;
  r.MinPage = 1;
  r.MaxPage = 5;
  r.DeviceName = QStringLiteral("PDF");
  return r;
}

QAbstractButton* ButtonOf(QWidget* box, QMessageBox::StandardButton which) {
  auto* mb = qobject_cast<QMessageBox*>(box);
  return mb ? mb->button(which) : nullptr;
}

}  // namespace

class FormsTest : public QObject {
  Q_OBJECT

 private:
  std::vector<QString> failures;
  ScriptedForms::FailureHandler Record() {
    return [this](const QString& m) { failures.push_back(m); };
  }

 private slots:
  void init() { failures.clear(); }

  void scriptedWindowAnswersWithoutBlocking() {
    ScriptedForms script(Record());
    ScopedForms use(script);
    script.ExpectMessage(vbYes, QStringLiteral("already exists"))
        .ExpectInput(QStringLiteral("Zip 250"), QStringLiteral("Media type"))
        .ExpectSave(std::nullopt, QStringLiteral("Custom Template"));

    AskingWindow w;
    w.show();
    QTest::mouseClick(w.ask, Qt::LeftButton);
    QCOMPARE(w.answer, vbYes);
    QCOMPARE(w.name, QStringLiteral("Zip 250"));
    QTest::mouseClick(w.save, Qt::LeftButton);
    QCOMPARE(w.error, 32755);
    QVERIFY(w.saved.isEmpty());
    QVERIFY(script.Done());

    const auto& shown = script.Shown();
    QCOMPARE(shown.size(), size_t(3));
    QCOMPARE(shown[0].title, QStringLiteral("Xendora"));
    QCOMPARE(shown[0].buttons, vbYesNo + vbQuestion);
    QCOMPARE(shown[1].title, QStringLiteral("Add Removable Media Type"));
    QCOMPARE(shown[1].fileName, QStringLiteral("Zip"));
    QCOMPARE(shown[2].fileName, QStringLiteral("*.DKT"));
    QCOMPARE(shown[2].flags, LONG(32774));
  }

  void cancelLeavesTheDialogAsItWas() {
    ScriptedForms script(Record());
    ScopedForms use(script);
    script.ExpectOpen(std::nullopt).ExpectOpen(std::nullopt).ExpectInput(std::nullopt);
    CommonDialog dlg;
    dlg.FileName = QStringLiteral("*.DKC");
    dlg.CancelError = false;
    dlg.ShowOpen();
    QCOMPARE(dlg.FileName, QStringLiteral("*.DKC"));
    dlg.CancelError = true;
    bool raised = false;
    try {
      dlg.ShowOpen();
    } catch (const vbrt::RuntimeError& e) {
      raised = e.number() == vbrt::ErrCancelSelected;
    }
    QVERIFY(raised);
    QCOMPARE(InputBox(QStringLiteral("Zoom:")), QString());
    QVERIFY(script.Done());
  }

  void saveAddsTheDefaultExtension() {
    ScriptedForms script(Record());
    ScopedForms use(script);
    script.ExpectSave(QStringLiteral("/tmp/labels")).ExpectSave(QStringLiteral("/tmp/labels.dkt"));
    CommonDialog dlg;
    dlg.DefaultExt = QStringLiteral("DKT");
    dlg.ShowSave();
    QCOMPARE(dlg.FileName, QStringLiteral("/tmp/labels.DKT"));
    QCOMPARE(dlg.FileTitle, QStringLiteral("labels.DKT"));
    dlg.ShowSave();
    QCOMPARE(dlg.FileName, QStringLiteral("/tmp/labels.dkt"));
  }

  void unexpectedModalsFailInsteadOfBlocking_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("answer");
    QTest::newRow("OK only") << vbOKOnly << vbOK;
    QTest::newRow("OK/Cancel") << vbOKCancel + vbExclamation << vbCancel;
    QTest::newRow("Yes/No") << vbYesNo + vbQuestion << vbNo;
    QTest::newRow("Yes/No/Cancel") << vbYesNoCancel << vbCancel;
  }
  void unexpectedModalsFailInsteadOfBlocking() {
    QFETCH(int, buttons);
    QFETCH(int, answer);
    ScriptedForms script(Record());
    ScopedForms use(script);
    QCOMPARE(MsgBox(QStringLiteral("Compression proccess is completed successfully."), buttons), answer);
    QCOMPARE(failures.size(), size_t(1));
    QVERIFY(failures[0].contains(QStringLiteral("Compression")));
    QVERIFY(!script.Done());
  }

  void mismatchedAnswersAreReported() {
    ScriptedForms script(Record());
    ScopedForms use(script);
    script.ExpectInput(QStringLiteral("x"));
    QCOMPARE(MsgBox(QStringLiteral("Invalid Password, try again!"), vbOKOnly, QStringLiteral("Login")), vbOK);
    QCOMPARE(failures.size(), size_t(1));  // a message box where an input box was expected
    QCOMPARE(script.Pending(), size_t(1));  // the answer waits for its own modal
    QCOMPARE(InputBox(QStringLiteral("Name")), QStringLiteral("x"));

    script.ExpectMessage(vbYes, QStringLiteral("overwrite"));
    QCOMPARE(MsgBox(QStringLiteral("Delete it?"), vbYesNo), vbNo);
    QCOMPARE(failures.size(), size_t(2));  // a prompt without the expected text
    script.ExpectMessage(vbYes);  // the waiting one, and one that offers no Yes button
    QCOMPARE(MsgBox(QStringLiteral("Would you like to overwrite files?"), vbYesNo), vbYes);
    QCOMPARE(MsgBox(QStringLiteral("Done."), vbOKOnly), vbOK);
    QCOMPARE(failures.size(), size_t(3));
  }

  void answersLeftOverAreReported() {
    {
      ScriptedForms script(Record());
      script.ExpectMessage(vbOK, QStringLiteral("never shown"));
    }
    QCOMPARE(failures.size(), size_t(1));
    QVERIFY(failures[0].contains(QStringLiteral("never shown")));
  }

  void modalWindowsRunTheirScript() {
    ScriptedForms script(Record());
    ScopedForms use(script);
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("frmLogin"));
    auto* entry = new QLineEdit(&dialog);
    entry->setObjectName(QStringLiteral("txtPassword"));
    QString typed;
    QObject::connect(&dialog, &QDialog::accepted, [&] { typed = entry->text(); });

    script.ExpectWindow(QStringLiteral("frmLogin"), [](QWidget* form) {
      form->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(QStringLiteral("secret"));
      qobject_cast<QDialog*>(form)->accept();
    });
    QCOMPARE(ShowModal(&dialog), int(QDialog::Accepted));
    QCOMPARE(typed, QStringLiteral("secret"));
    QVERIFY(!dialog.isVisible());

    // A script that leaves the window open is a failure; the window is closed.
    script.ExpectWindow(QStringLiteral("frmLogin"), [](QWidget*) {});
    QCOMPARE(ShowModal(&dialog), int(QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(failures.size(), size_t(1));

    // A window nobody expected is closed untouched.
    QWidget other;
    other.setObjectName(QStringLiteral("frmPrint"));
    QCOMPARE(ShowModal(&other), 0);
    QCOMPARE(failures.size(), size_t(2));
    QVERIFY(script.Done() == false);
  }

  void printerDialogChoices() {
    ScriptedForms script(Record());
    ScopedForms use(script);
    PrinterDialogRequest r = PagedPrint(3);

    script.ExpectPrinter(std::nullopt);
    QVERIFY(!ShowPrinterDialog(r));
    QCOMPARE(r.Flags, DWORD(0x40006));

    PrinterChoice range;
    range.pages = std::make_pair(WORD(3), WORD(4));
    range.copies = 2;
    script.ExpectPrinter(range);
    QVERIFY(ShowPrinterDialog(r));
    QVERIFY(r.Flags & PD_PAGENUMS);
    QCOMPARE(r.FromPage, WORD(3));
    QCOMPARE(r.ToPage, WORD(4));
    QCOMPARE(r.Copies, SHORT(2));

    PrinterChoice all;
    script.ExpectPrinter(all);
    QVERIFY(ShowPrinterDialog(r));
    QVERIFY(!(r.Flags & PD_PAGENUMS));

    // A single-page print offers no range: a script choosing one is told so.
    PrinterDialogRequest single;
    single.Flags = 0x40004;
    script.ExpectPrinter(range);
    QVERIFY(!ShowPrinterDialog(single));
    QCOMPARE(failures.size(), size_t(1));
  }

  void folderBrowserCancelKeepsThePath() {
    ScriptedForms script(Record());
    ScopedForms use(script);
    script.ExpectFolder(std::nullopt).ExpectFolder(QStringLiteral("/media/zip"));
    QString path = QStringLiteral("/home/user");
    QVERIFY(!BrowseForFolder(path, QStringLiteral("Select a Directory")));
    QCOMPARE(path, QStringLiteral("/home/user"));
    QVERIFY(BrowseForFolder(path, QStringLiteral("Select a Directory")));
    QCOMPARE(path, QStringLiteral("/media/zip"));
  }

  void fontAndColourDialogs() {
    ScriptedForms script(Record());
    ScopedForms use(script);
    FontChoice f;
    f.name = QStringLiteral("Arial");
    f.size = 10.5;
    f.bold = true;
    f.color = 0x0000FF;
    script.ExpectFont(f).ExpectFont(std::nullopt).ExpectColor(LONG(0x00FF00));
    CommonDialog dlg;
    dlg.Flags = 259;
    dlg.ShowFont();
    QCOMPARE(dlg.FontName, QStringLiteral("Arial"));
    QCOMPARE(dlg.FontSize, 10.5);
    QVERIFY(dlg.FontBold);
    QCOMPARE(dlg.Color, LONG(0x0000FF));
    bool cancelled = false;
    try {
      dlg.ShowFont();
    } catch (const vbrt::RuntimeError& e) {
      cancelled = e.number() == 32755;
    }
    QVERIFY(cancelled);
    QCOMPARE(dlg.FontName, QStringLiteral("Arial"));
    dlg.ShowColor();
    QCOMPARE(dlg.Color, LONG(0x00FF00));
  }

  void doEventsAndPointer() {
    ScriptedForms script(Record());
    ScopedForms use(script);
    bool stop = false;
    script.OnDoEvents([&] { stop = true; });
    SetScreenMousePointer(vbHourglass);
    DoEvents();
    QVERIFY(stop);
    QCOMPARE(script.DoEventsCount(), 1);
    QCOMPARE(ScreenMousePointer(), vbHourglass);
    SetScreenMousePointer(vbDefault);
    QCOMPARE(ScreenMousePointer(), vbDefault);
  }

  void currentInstanceIsSharedAndRestored() {
    Forms& before = Current();
    QVERIFY(dynamic_cast<QtForms*>(&before) != nullptr);
    {
      ScriptedForms script(Record());
      ScopedForms use(script);
      QCOMPARE(&Current(), static_cast<Forms*>(&script));
      // Kept on the application object, where another module's copy of this library reads it.
      QCOMPARE(qApp->property("xendora.forms.current").value<void*>(), static_cast<void*>(&script));
    }
    QCOMPARE(&Current(), &before);
  }

  void badButtonsAreAnInvalidCall() {
    bool raised = false;
    try {
      MsgBox(QStringLiteral("x"), 2);  // Abort/Retry/Ignore is not offered
    } catch (const vbrt::RuntimeError& e) {
      raised = e.number() == 5;
    }
    QVERIFY(raised);
  }

  void nameFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("patterns shown in the text") << QStringLiteral("Pictures (*.bmp;*.jpg;*.gif;*.ico)|*.bmp;*.jpg;*.gif;*.ico")
                                                << QStringList{QStringLiteral("Pictures (*.bmp *.jpg *.gif *.ico)")};
    QTest::newRow("two filters") << QStringLiteral("Text|*.TXT|All Files|*.*")
                                 << QStringList{QStringLiteral("Text (*.TXT)"), QStringLiteral("All Files (*)")};
    QTest::newRow("empty") << QString() << QStringList{};
    QTest::newRow("text without a pattern") << QStringLiteral("Catalogs") << QStringList{};
  }
  void nameFilters() {
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(QtNameFilters(filter), expected);
  }

  // The Qt implementation, answered by pressing the modal's buttons from the event loop.
  void qtMessageBoxAnswers() {
    QtForms qt;
    ScopedForms use(qt);
    AnswerModalLater([](QWidget* box) {
      auto* mb = qobject_cast<QMessageBox*>(box);
      QVERIFY(mb);
      QCOMPARE(mb->text(), QStringLiteral("Line one\nLine <two> & more"));
      QCOMPARE(mb->textFormat(), Qt::PlainText);
      QCOMPARE(mb->windowTitle(), QStringLiteral("WARNING!"));
      ButtonOf(box, QMessageBox::No)->click();
    });
    QCOMPARE(MsgBox(QStringLiteral("Line one\r\nLine <two> & more"), vbYesNo + vbExclamation, QStringLiteral("WARNING!")),
             vbNo);

    AnswerModalLater([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
    QCOMPARE(MsgBox(QStringLiteral("Print?"), vbOKCancel), vbCancel);

    AnswerModalLater([](QWidget* box) { ButtonOf(box, QMessageBox::Yes)->click(); });
    QCOMPARE(MsgBox(QStringLiteral("Save changes?"), vbYesNoCancel), vbYes);
  }

  void qtInputAndFileDialogs() {
    QtForms qt;
    ScopedForms use(qt);
    AnswerModalLater([](QWidget* w) {
      auto* dlg = qobject_cast<QInputDialog*>(w);
      QVERIFY(dlg);
      QCOMPARE(dlg->textValue(), QStringLiteral("85"));
      dlg->setTextValue(QStringLiteral("120"));
      dlg->accept();
    });
    QCOMPARE(InputBox(QStringLiteral("Zoom:"), QString(), QStringLiteral("85")), QStringLiteral("120"));

    AnswerModalLater([](QWidget* w) {
      auto* dlg = qobject_cast<QFileDialog*>(w);
      QVERIFY(dlg);
      QCOMPARE(dlg->windowTitle(), QStringLiteral("Backup Disk Catalog"));
      dlg->reject();
    });
    CommonDialog dlg;
    dlg.DialogTitle = QStringLiteral("Backup Disk Catalog");
    dlg.FileName = QStringLiteral("BACKUP120926.DKC");
    int number = 0;
    try {
      dlg.ShowSave();
    } catch (const vbrt::RuntimeError& e) {
      number = e.number();
    }
    QCOMPARE(number, 32755);
    QCOMPARE(dlg.FileName, QStringLiteral("BACKUP120926.DKC"));
  }

  void qtFontDialogOffersTheColours() {
    QtForms qt;
    ScopedForms use(qt);
    AnswerModalLater([](QWidget* w) {
      auto* colours = w->findChild<QComboBox*>(QStringLiteral("cmbColor"));
      QVERIFY(colours);
      QCOMPARE(colours->currentText(), QStringLiteral("Navy"));
      colours->setCurrentIndex(colours->findText(QStringLiteral("Red")));
      qobject_cast<QDialog*>(w)->accept();
    });
    CommonDialog dlg;
    dlg.Flags = 259;
    dlg.FontName = QStringLiteral("Arial");
    dlg.FontSize = 12;
    dlg.FontBold = true;
    dlg.Color = 0x800000;
    dlg.ShowFont();
    QCOMPARE(dlg.Color, LONG(0x0000FF));
    QCOMPARE(dlg.FontName, QStringLiteral("Arial"));  // the family kept, under the program's name
    QCOMPARE(dlg.FontSize, 12.0);
    QVERIFY(dlg.FontBold);
    QVERIFY(!dlg.FontItalic);
  }

  void qtPrinterDialogReturnsTheRange() {
    QtForms qt;
    ScopedForms use(qt);
    QTemporaryDir dir;
    AnswerModalLater([](QWidget* w) {
      auto* dlg = qobject_cast<QPrintDialog*>(w);
      QVERIFY(dlg);
      QCOMPARE(dlg->printRange(), QAbstractPrintDialog::PageRange);
      QCOMPARE(dlg->fromPage(), 2);
      QCOMPARE(dlg->toPage(), 3);
      dlg->accept();
    });
    PrinterDialogRequest r = PagedPrint(2);
    r.ToPage = 3;
    r.Port = dir.filePath(QStringLiteral("labels.pdf"));
    QVERIFY(ShowPrinterDialog(r));
    QVERIFY(r.Flags & PD_PAGENUMS);
    QCOMPARE(r.FromPage, WORD(2));
    QCOMPARE(r.ToPage, WORD(3));
    QCOMPARE(r.DeviceName, QStringLiteral("PDF"));
    QCOMPARE(r.Port, dir.filePath(QStringLiteral("labels.pdf")));

    AnswerModalLater([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    PrinterDialogRequest before = r;
    QVERIFY(!ShowPrinterDialog(r));
    QCOMPARE(r.Flags, before.Flags);
  }

  void qtModalWindowReturnsWhenClosed() {
    QtForms qt;
    ScopedForms use(qt);
    QWidget form;
    QTimer::singleShot(0, [&] {
      QVERIFY(form.isVisible());
      QCOMPARE(form.windowModality(), Qt::ApplicationModal);
      form.close();
    });
    QCOMPARE(ShowModal(&form), 0);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.windowModality(), Qt::NonModal);

    SetScreenMousePointer(vbHourglass);
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    SetScreenMousePointer(vbHourglass);
    SetScreenMousePointer(vbDefault);
    QVERIFY(!QApplication::overrideCursor());  // one restore undoes the hourglass, however often it was set
  }
};

QTEST_MAIN(FormsTest)
#include "forms_test.moc"
