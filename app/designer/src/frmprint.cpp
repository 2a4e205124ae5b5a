// The print preview window: its widgets, its load and unload, layout, scrolling and commands.
#include "frmprint.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "appstate.h"
#include "customzoom.h"
#include "designeritems.h"
#include "forms.h"
#include "frmgoto.h"
#include "previewsurface.h"
#include "printdialog.h"
#include "printersurface.h"
#include "printrun.h"
#include "templatefile.h"
#include "windowlinks.h"

namespace designer {

// The page canvas: shows the page the session drew, and hands its mouse and keys to the
// designer's items (the gestures' outlines are painted over it by their overlay).
class frmPrint::Canvas : public QWidget {
 public:
  Canvas(PreviewSession& session, QWidget* parent) : QWidget(parent), session_(session) {
    setObjectName(QStringLiteral("prnView"));
  }
  void SetItems(DesignerItems* items) { items_ = items; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.drawImage(0, 0, session_.CanvasImage());
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (items_) items_->CanvasPress(event);
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (items_) items_->CanvasMove(event);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (items_) items_->CanvasRelease(event);
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    if (items_) items_->CanvasKey(event);
    QWidget::keyReleaseEvent(event);
  }

 private:
  PreviewSession& session_;
  DesignerItems* items_ = nullptr;
};

namespace {
struct ToolButton {
  const char* key;
  const char* caption;
  const char* toolTip;
  QStyle::StandardPixmap icon;
};
constexpr ToolButton kToolButtons[] = {
    {"Print", "Print", "Print the Disk Label", QStyle::SP_DialogSaveButton},
    {"First", "First Page", "", QStyle::SP_MediaSkipBackward},
    {"Prev", "Prev Page", "View previous page", QStyle::SP_ArrowLeft},
    {"Next", "Next Page", "View next page", QStyle::SP_ArrowRight},
    {"Last", "Last Page", "", QStyle::SP_MediaSkipForward},
    {"Page", "Page 1", "", QStyle::SP_FileDialogContentsView},
    {"Find", "Find", "", QStyle::SP_FileDialogDetailedView},
    {"Setup", "Page Setup", "", QStyle::SP_FileDialogInfoView},
    {"Insert", "Insert", "", QStyle::SP_FileDialogNewFolder},
    {"Zoom", "Zoom 100%", "Find File or Folder", QStyle::SP_TitleBarMaxButton},
    {"Close", "Close", "Close Print Preview", QStyle::SP_DialogCloseButton},
};
// The buttons whose captions the text-label toggle sets or empties.
constexpr std::pair<const char*, const char*> kLabelledButtons[] = {
    {"Print", "Print"}, {"Prev", "Prev Page"}, {"Next", "Next Page"},
    {"Zoom", "Zoom"},   {"Setup", "Label Setup"}, {"Close", "Close"},
};

int LiveSlots(const auto& records) {
  int live = 0;
  for (qsizetype i = 0; i + 1 < records.size(); ++i)
    if (!(records[i].Left == app::kFreeSlot && records[i].Top == app::kFreeSlot)) ++live;
  return live;
}
}  // namespace

frmPrint::frmPrint(PreviewEnvironment env, QWidget* parent) : QMainWindow(parent), session_(std::move(env)) {
  setObjectName(QStringLiteral("frmPrint"));
  setWindowTitle(QStringLiteral("Print Preview"));
  resize(900, 700);
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("client"));
  setCentralWidget(client_);
  canvas_ = new Canvas(session_, client_);
  hScroll_ = new QScrollBar(Qt::Horizontal, client_);
  hScroll_->setObjectName(QStringLiteral("HScroll1"));
  vScroll_ = new QScrollBar(Qt::Vertical, client_);
  vScroll_->setObjectName(QStringLiteral("VScroll1"));
  corner_ = new QWidget(client_);
  corner_->setObjectName(QStringLiteral("picCorner"));
  corner_->setAutoFillBackground(true);
  hScroll_->hide();
  vScroll_->hide();
  corner_->hide();
  notice_ = new QLabel(client_);
  notice_->setObjectName(QStringLiteral("RecalcNotice"));
  notice_->setAlignment(Qt::AlignCenter);
  notice_->setStyleSheet(QStringLiteral("QLabel { background: white; color: black; border: 1px solid black; }"));
  notice_->hide();
  client_->setStyleSheet(QStringLiteral("QWidget#client { background: #808080; }"));

  BuildMenus();
  BuildToolbar();
  BuildStatusBar();

  connect(hScroll_, &QScrollBar::valueChanged, this, [this](int value) {
    if (layoutInProgress_) return;
    layout_.HScrollChanged(value);
    PlaceWidgets();
  });
  connect(vScroll_, &QScrollBar::valueChanged, this, [this](int value) {
    if (layoutInProgress_) return;
    layout_.VScrollChanged(value);
    PlaceWidgets();
  });
  session_.onPageShown = [this] { PageShown(); };
  session_.onLayout = [this] { FormResize(); };
  ConnectDesigner();
  canvas_->SetItems(items_);
  SaveCustomTemplate = [this](QWidget* owner) {
    return SaveTemplateThroughDialog(owner, session_.Job().TemplateFolder, session_.DesignerState(),
                                     session_.Pictures());
  };
  connect(actions_.value(QStringLiteral("mnuFileSave")), &QAction::triggered, this,
          [this] { SaveCustomTemplate(this); });
  connect(actions_.value(QStringLiteral("mnuFileLoad")), &QAction::triggered, this, [this] { LoadCustomTemplate(); });
  DoPrint = [this](SHORT fromPage, SHORT toPage) {
    designer::DoPrint(session_, fromPage, toPage);
    canvas_->setVisible(session_.CanvasVisible());
    canvas_->update();
  };
}

QWidget* frmPrint::CanvasWidget() const { return canvas_; }

frmPrint::~frmPrint() {
  session_.onPageShown = nullptr;
  session_.onLayout = nullptr;
  if (loaded_ && !unloaded_) session_.Unload(designerRestored_);
  DisconnectDesigner();
}

QAction* frmPrint::AddAction(QMenu* menu, const QString& name, const QString& caption) {
  auto* action = new QAction(caption, this);
  action->setObjectName(name);
  menu->addAction(action);
  actions_.insert(name, action);
  return action;
}

void frmPrint::BuildMenus() {
  auto menu = [this](QMenu* parent, const QString& name, const QString& caption) {
    QMenu* m = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
    m->setObjectName(name);
    m->menuAction()->setObjectName(name);
    menus_.insert(name, m);
    actions_.insert(name, m->menuAction());
    return m;
  };
  QMenu* file = menu(nullptr, QStringLiteral("mnuFile"), QStringLiteral("&File"));
  AddAction(file, QStringLiteral("mnuFileLoad"), QStringLiteral("Load &Custom Template ..."));
  AddAction(file, QStringLiteral("mnuFileSave"), QStringLiteral("Save &As Custom Template ..."))->setEnabled(false);
  file->addSeparator()->setObjectName(QStringLiteral("spt"));
  connect(AddAction(file, QStringLiteral("mnuPgSetup"), QStringLiteral("&Page Setup")), &QAction::triggered, this,
          [this] { ButtonClick(QStringLiteral("Setup")); });
  AddAction(file, QStringLiteral("mnuNote"), QStringLiteral("&Edit Note..."))->setVisible(false);
  QAction* printerSetup = AddAction(file, QStringLiteral("mnuPrnSetup"), QStringLiteral("Printer &Setup"));
  printerSetup->setVisible(false);
  connect(printerSetup, &QAction::triggered, this, [this] {
    DWORD flags = forms::PD_PRINTSETUP;
    ShowPrintDialog(this, flags);
  });
  connect(AddAction(file, QStringLiteral("mnuPrint"), QStringLiteral("&Print")), &QAction::triggered, this,
          [this] { PrintCommand(); });
  file->addSeparator()->setObjectName(QStringLiteral("sp"));
  connect(AddAction(file, QStringLiteral("mnuClose"), QStringLiteral("E&xit")), &QAction::triggered, this,
          [this] { close(); });

  QMenu* edit = menu(nullptr, QStringLiteral("mnuEdit"), QStringLiteral("&Edit"));
  AddAction(edit, QStringLiteral("mnuEditDelete"), QStringLiteral("&Delete"))->setEnabled(false);
  AddAction(edit, QStringLiteral("mnuEditEdit"), QStringLiteral("&Edit"))->setEnabled(false);
  AddAction(edit, QStringLiteral("mnuEditDup"), QStringLiteral("D&uplicate"))->setEnabled(false);
  AddAction(edit, QStringLiteral("mnuEditDupPage"), QStringLiteral("Duplicate &Page"))->setEnabled(false);
  QAction* sertr = edit->addSeparator();
  sertr->setObjectName(QStringLiteral("sertr"));
  actions_.insert(QStringLiteral("sertr"), sertr);
  AddAction(edit, QStringLiteral("mnuInsPic"), QStringLiteral("&Insert Picture..."));
  AddAction(edit, QStringLiteral("mnuInsText"), QStringLiteral("&Insert Text..."));
  QAction* find = AddAction(edit, QStringLiteral("mnuEditFind"), QStringLiteral("&Find ..."));
  find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  connect(find, &QAction::triggered, this, [this] { Find(); });
  QAction* findNext = AddAction(edit, QStringLiteral("mnuEditFindNext"), QStringLiteral("Find &Next"));
  findNext->setShortcut(QKeySequence(Qt::Key_F3));
  findNext->setEnabled(false);
  connect(findNext, &QAction::triggered, this, [this] { FindNextItem(); });

  QMenu* view = menu(nullptr, QStringLiteral("mnuView"), QStringLiteral("&View"));
  view->menuAction()->setVisible(false);
  QAction* txtLab = AddAction(view, QStringLiteral("mnuTxtLab"), QStringLiteral("&Text Labels"));
  txtLab->setCheckable(true);
  txtLab->setChecked(true);
  connect(txtLab, &QAction::triggered, this, [this](bool on) { SetTextLabels(on); });
  QMenu* nav = menu(view, QStringLiteral("mnuNav"), QStringLiteral("&Navigate"));
  AddAction(nav, QStringLiteral("mnuNavFirst"), QStringLiteral("&First Page"));
  connect(AddAction(nav, QStringLiteral("mnuNavNext"), QStringLiteral("&Next Page")), &QAction::triggered, this,
          [this] { GotoNextPage(); });
  connect(AddAction(nav, QStringLiteral("mnuNavPrev"), QStringLiteral("&Previous Page")), &QAction::triggered, this,
          [this] { GotoPrevPage(); });
  AddAction(nav, QStringLiteral("mnuNavLast"), QStringLiteral("&Last Page"));
  QMenu* zoom = menu(view, QStringLiteral("mnuZoom"), QStringLiteral("&Zoom"));
  for (const ZoomPreset& preset : kZoomPresets) {
    if (!*preset.menuName) continue;
    const int percent = preset.percent;
    connect(AddAction(zoom, QString::fromLatin1(preset.menuName), QStringLiteral("%1%").arg(percent)),
            &QAction::triggered, this, [this, percent] { SetZoomFactor(ZoomCode(percent), true); });
  }
  connect(AddAction(zoom, QStringLiteral("mnuCustom"), QStringLiteral("&Custom")), &QAction::triggered, this,
          [this] { ShowCustomZoom(); });
  QMenu* measure = menu(view, QStringLiteral("mnuMeasure"), QStringLiteral("&Scale"));
  for (const char* name : {"mnuMesInch", "mnuMesCm", "mnuMesPix", "mnuMesMm"}) {
    const MeasureUnit* unit = nullptr;
    for (const MeasureUnit& u : kMeasureUnits)
      if (QLatin1String(u.menuName) == QLatin1String(name)) unit = &u;
    const SHORT scale = unit->unitScale;
    connect(AddAction(measure, QString::fromLatin1(name), QString::fromLatin1(unit->panelText)), &QAction::triggered,
            this, [this, scale] {
              session_.SetUnit(scale);
              measurePanel_->setText(session_.MeasurePanelText());
            });
  }
}

void frmPrint::BuildToolbar() {
  toolbar_ = new QToolBar(this);
  toolbar_->setObjectName(QStringLiteral("Toolbar2"));
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolbar_->setIconSize(QSize(20, 20));
  addToolBar(Qt::TopToolBarArea, toolbar_);
  for (const ToolButton& b : kToolButtons) {
    const QString key = QString::fromLatin1(b.key);
    auto* action = new QAction(style()->standardIcon(b.icon), QString::fromLatin1(b.caption), this);
    action->setObjectName(key);
    action->setToolTip(QString::fromLatin1(b.toolTip));
    toolbar_->addAction(action);
    actions_.insert(key, action);
    connect(action, &QAction::triggered, this, [this, key] { ButtonClick(key); });
  }
}

void frmPrint::BuildStatusBar() {
  statusBar()->setObjectName(QStringLiteral("StatusBar1"));
  statusBar()->setSizeGripEnabled(false);
  auto panel = [this](const char* key, const char* text, int stretch) {
    auto* label = new QLabel(QString::fromLatin1(text), this);
    label->setObjectName(QString::fromLatin1(key));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addWidget(label, stretch);
    return label;
  };
  measurePanel_ = panel("MEASURE", "Inches", 0);
  measurePanel_->setMinimumWidth(90);
  measurePanel_->installEventFilter(this);
  posPanel_ = panel("POS", "Position:", 1);
  pagePanel_ = panel("PAGE", "Page 1 of 1+", 0);
  pagePanel_->setMinimumWidth(120);
}

QString frmPrint::PanelText(const QString& key) const {
  if (key == QLatin1String("MEASURE")) return measurePanel_->text();
  if (key == QLatin1String("POS")) return posPanel_->text();
  if (key == QLatin1String("PAGE")) return pagePanel_->text();
  return QString();
}

bool frmPrint::eventFilter(QObject* watched, QEvent* event) {
  if (watched == measurePanel_ && event->type() == QEvent::MouseButtonPress) {
    menus_.value(QStringLiteral("mnuMeasure"))->popup(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

bool frmPrint::Load() {
  const PreviewSession::LoadResult result = session_.Load(designerRestored_);
  loaded_ = true;
  measurePanel_->setText(session_.MeasurePanelText());
  if (!result.ok) {
    forms::MsgBox(QStringLiteral("Invalid recordset specified!"));
    unloaded_ = true;
    session_.Unload(designerRestored_);
    designerRestored_ = false;
    loaded_ = false;
    return false;
  }
  if (!result.title.isEmpty()) setWindowTitle(windowTitle() + QStringLiteral(" - ") + result.title);
  actions_.value(QStringLiteral("mnuEditDupPage"))->setVisible(result.dupPageAllowed);
  if (!result.findOffered)
    for (const char* name : {"mnuEditFind", "mnuEditFindNext", "Find"})
      actions_.value(QString::fromLatin1(name))->setVisible(false);
  actions_.value(QStringLiteral("Zoom"))->setText(ZoomCaption(session_.ZoomPercent()));
  firstTextPending_ = !designerRestored_ && session_.Job().ReportType == 4;
  return true;
}

bool frmPrint::RestoreFromCustArray(bool /*firstPrint*/) {
  designerRestored_ = true;
  firstTextPending_ = false;
  Objects().Reset();
  SetZoomFactor(ZoomCode(DefaultZoomPercent(session_.Job())), true);
  if (session_.Job().ReportType == 4 && !InsertFirstText()) return false;
  return true;
}

void frmPrint::SetZoomFactor(const QString& zoomCode, bool redraw) {
  if (!ZoomPercentFromCode(zoomCode)) return;
  if (redraw) actions_.value(QStringLiteral("Zoom"))->setText(ZoomCaption(*ZoomPercentFromCode(zoomCode)));
  session_.SetZoomFactor(zoomCode, redraw);
  canvas_->setVisible(session_.CanvasVisible());
}

void frmPrint::ButtonClick(const QString& key) {
  if (key == QLatin1String("Print")) PrintCommand();
  else if (key == QLatin1String("First")) GotoFirstPage();
  else if (key == QLatin1String("Prev")) GotoPrevPage();
  else if (key == QLatin1String("Next")) GotoNextPage();
  else if (key == QLatin1String("Last")) GotoLastPage();
  else if (key == QLatin1String("Page")) ShowGoto();
  else if (key == QLatin1String("Find")) Find();
  else if (key == QLatin1String("Setup")) app::ShowPageSetup(this);
  else if (key == QLatin1String("Insert")) InsertPopup();
  else if (key == QLatin1String("Zoom")) {
    QWidget* button = toolbar_->widgetForAction(actions_.value(key));
    const QPoint at = button ? button->mapToGlobal(QPoint(0, button->height())) : mapToGlobal(QPoint());
    menus_.value(QStringLiteral("mnuZoom"))->popup(at);
  } else if (key == QLatin1String("Close")) close();
}

void frmPrint::ShowGoto() {
  frmGoto dialog([this](SHORT page) { GotoLastPage(page); }, this);
  forms::ShowModal(&dialog, this);
}

void frmPrint::ShowCustomZoom() {
  ShowCustomZoomPrompt(this, session_.ZoomPercent(),
                       [this](const QString& code, bool redraw) { SetZoomFactor(code, redraw); });
}

void frmPrint::SetTextLabels(bool on) {
  for (const auto& [key, caption] : kLabelledButtons)
    actions_.value(QString::fromLatin1(key))->setText(on ? QString::fromLatin1(caption) : QString());
  toolbar_->setToolButtonStyle(on ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
  FormResize();
}

void frmPrint::InsertPopup() {
  const QStringList hidden = {QStringLiteral("mnuEditDelete"), QStringLiteral("mnuEditEdit"), QStringLiteral("mnuEditDup"),
                              QStringLiteral("mnuEditDupPage"), QStringLiteral("sertr")};
  QAction* find = actions_.value(QStringLiteral("mnuEditFind"));
  QAction* findNext = actions_.value(QStringLiteral("mnuEditFindNext"));
  const bool findShown = find->isVisible();
  for (const QString& name : hidden) actions_.value(name)->setVisible(false);
  find->setVisible(false);
  findNext->setVisible(false);
  QWidget* button = toolbar_->widgetForAction(actions_.value(QStringLiteral("Insert")));
  menus_.value(QStringLiteral("mnuEdit"))->exec(button ? button->mapToGlobal(QPoint(0, button->height())) : QCursor::pos());
  find->setVisible(findShown);
  findNext->setVisible(findShown);
  for (const QString& name : hidden) actions_.value(name)->setVisible(true);
  actions_.value(QStringLiteral("mnuEditDupPage"))->setVisible(IsDupPageAllowed());
}

void frmPrint::PrintCommand() {
  const app::PrintJob& job = session_.Job();
  if (job.LabelMedium == 1) {
    const int p = session_.StartPosition();
    const QString prompt = QStringLiteral("COLUMN %1, ROW %2\r\n\r\nThe location above is where the selected label will "
                                          "print on the sheet.  To change the print position, click on the \"Page "
                                          "Setup\" button on the Toolbar and select the \"Custom\" tab.")
                               .arg(p % 3 + 1)
                               .arg(p / 3 + 1);
    if (forms::MsgBox(prompt, forms::vbOKCancel, QStringLiteral("Xendora")) == forms::vbCancel) return;
  }
  DWORD flags = forms::PD_USEDEVMODECOPIESANDCOLLATE | forms::PD_NOSELECTION;
  WORD from = 0, to = 0, min = 0, max = 0;
  const bool paged = actions_.value(QStringLiteral("Page"))->isEnabled();
  if (paged) {
    if (!session_.Pages().LastPageKnown) {
      const SHORT shown = session_.Pages().CurrentPage;
      GotoLastPage();
      GotoLastPage(shown);
    }
    flags |= forms::PD_PAGENUMS;
    from = to = static_cast<WORD>(session_.Pages().CurrentPage);
    min = 1;
    max = static_cast<WORD>(GetNumPages());
  }
  if (!ShowPrintDialog(this, flags, from, to, min, max)) return;
  forms::SetScreenMousePointer(forms::vbHourglass);
  const bool range = (flags & forms::PD_PAGENUMS) && from < UBound(session_.Pages());
  DoPrint(range ? static_cast<SHORT>(from) : 0, range ? static_cast<SHORT>(to) : 0);
  forms::SetScreenMousePointer(forms::vbDefault);
}

void frmPrint::Find() {
  PreviewPaging& paging = session_.Paging();
  paging.FindText = forms::InputBox(QStringLiteral("Enter a file/folder name you wish to locate."), QStringLiteral("Find"));
  if (!paging.FindText.isEmpty()) paging.FindFirstOccurance(paging.FindText, false);
  actions_.value(QStringLiteral("mnuEditFindNext"))->setEnabled(paging.FindNextEnabled());
}

void frmPrint::FindNextItem() {
  session_.Paging().FindNextItem();
  actions_.value(QStringLiteral("mnuEditFindNext"))->setEnabled(session_.Paging().FindNextEnabled());
}

void frmPrint::DoPageRecalc() {
  notice_->setFont(QFont(surface::ResolvedFamily(QStringLiteral("Arial")), 9));
  session_.Paging().DoPageRecalc([this](SHORT page) {
    const QString text = QStringLiteral("Recalculating report format for page %1").arg(page);
    notices_.append(text);
    const double dpi = session_.Canvas().DpiX();
    const QPointF centre(client_->width() / 2.0, client_->height() / 2.0);
    notice_->setGeometry(QRectF(centre.x() - 1.5 * dpi, centre.y() - 0.2 * dpi, 3.0 * dpi, 0.4 * dpi).toRect());
    notice_->setText(text);
    notice_->show();
    notice_->raise();
    notice_->repaint();
  });
  notice_->hide();
}

void frmPrint::Reformat() {
  const QString saved = ZoomCode(session_.ZoomPercent());
  SetZoomFactor(QStringLiteral("100PC"), false);
  if (session_.Drawing().CalcRowHeight(session_.Canvas(), 0)) DoPageRecalc();
  SetZoomFactor(saved, true);
}

void frmPrint::PageShown() {
  ShowPageControls();
  canvas_->resize(session_.CanvasImage().size());
  canvas_->update();
  if (const auto band = session_.TakeFoundRow()) {
    const int value = layout_.MakeRowVisible(band->first, band->second, vScroll_->value());
    if (value != -1 && vScroll_->isVisible()) vScroll_->setValue(value);
  }
}

void frmPrint::ShowPageControls() {
  const PageControls& c = session_.Controls();
  pagePanel_->setText(c.pagePanel);
  actions_.value(QStringLiteral("Page"))->setText(c.pageButton);
  actions_.value(QStringLiteral("First"))->setEnabled(c.first);
  actions_.value(QStringLiteral("Prev"))->setEnabled(c.prev);
  actions_.value(QStringLiteral("Next"))->setEnabled(c.next);
  actions_.value(QStringLiteral("Last"))->setEnabled(c.last);
  actions_.value(QStringLiteral("Page"))->setEnabled(c.page);
}

void frmPrint::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void frmPrint::FormResize() {
  if (isMinimized() || !client_) return;
  const double dpi = session_.Canvas().DpiX();
  layout_.clientWidth = client_->width() / dpi;
  layout_.clientHeight = client_->height() / dpi;
  layout_.coolBarHeight = 0;  // the client area lies between the toolbar and the status bar
  layout_.statusBarHeight = 0;
  layout_.scrollThickness = style()->pixelMetric(QStyle::PM_ScrollBarExtent) / dpi;
  layout_.canvasWidth = session_.CanvasWidth();
  layout_.canvasHeight = session_.CanvasHeight();
  layout_.floppyLabel = session_.Job().LabelMedium == 1;
  const PreviewLayout::Values values = layout_.Relayout();
  layoutInProgress_ = true;
  hScroll_->setRange(0, layout_.h.max);
  hScroll_->setPageStep(layout_.h.largeChange);
  hScroll_->setSingleStep(layout_.h.smallChange);
  vScroll_->setRange(0, layout_.v.max);
  vScroll_->setPageStep(layout_.v.largeChange);
  vScroll_->setSingleStep(layout_.v.smallChange);
  hScroll_->setValue(values.h);
  vScroll_->setValue(values.v);
  layoutInProgress_ = false;
  PlaceWidgets();
}

void frmPrint::PlaceWidgets() {
  const double dpi = session_.Canvas().DpiX();
  auto px = [dpi](double inches) { return static_cast<int>(std::lround(inches * dpi)); };
  const int t = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  canvas_->move(px(layout_.canvasLeft), px(layout_.canvasTop));
  canvas_->resize(session_.CanvasImage().size());
  hScroll_->setVisible(layout_.hShown);
  vScroll_->setVisible(layout_.vShown);
  if (layout_.vShown) vScroll_->setGeometry(client_->width() - t, 0, t, px(layout_.VScrollHeight()));
  if (layout_.hShown) hScroll_->setGeometry(0, client_->height() - t, px(layout_.HScrollWidth()), t);
  // Placed by the layout, not by isVisible(): before the window is shown that answers false,
  // and the corner would keep its default place over the canvas's top-left corner.
  const bool cornerShown = layout_.hShown && layout_.vShown;
  if (cornerShown) corner_->setGeometry(client_->width() - t, client_->height() - t, t, t);
  corner_->setVisible(cornerShown);
  hScroll_->raise();
  vScroll_->raise();
  corner_->raise();
}

void frmPrint::LoadCustomTemplate() {
  std::optional<TemplateContent> content = LoadTemplateThroughDialog(this, session_.Job().TemplateFolder);
  if (!content) return;
  TemplateArrays arrays = ToDesignerArrays(std::move(*content));
  Objects().TakeTemplate(std::move(arrays.texts), std::move(arrays.pictures), std::move(arrays.store));
  SetZoomFactor(QStringLiteral("100PC"), true);
}

bool frmPrint::QueryUnload() {
  app::Designer& designer = session_.DesignerState();
  const int texts = LiveSlots(designer.CustomTexts);
  const int pictures = LiveSlots(designer.CustomPictures);
  if (texts > 0 || pictures > 0) {
    const int answer = forms::MsgBox(
        QStringLiteral("Would you like to save the custom graphics and text on this page as a Custom Template file?"),
        forms::vbYesNoCancel + forms::vbQuestion, QStringLiteral("Save Changes?"));
    if (answer == forms::vbCancel) return false;
    // A save that failed keeps the window open, so that the objects are not lost.
    if (answer == forms::vbYes && !SaveCustomTemplate(this)) return false;
  }
  return true;
}

void frmPrint::closeEvent(QCloseEvent* event) {
  if (loaded_ && !unloaded_) {
    if (!QueryUnload()) {
      event->ignore();
      return;
    }
    // The close is certain now: a multiple selection ends, the arrays are packed, the images
    // moving with their records.
    if (Objects().MultipleSelection()) Objects().DeselectMultipleSelection();
    Objects().CompressCustomArrays();
    unloaded_ = true;
    session_.Unload(designerRestored_);
    designerRestored_ = false;
  }
  QMainWindow::closeEvent(event);
}

}  // namespace designer
