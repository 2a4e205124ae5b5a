// The preview window's designer side: its objects' widgets, the Insert, Edit and Delete
// commands, the text editor and the picture file dialog, the first text of a custom listing.
#include <QAction>
#include <QCursor>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>

#include "appstate.h"
#include "designeritems.h"
#include "forms.h"
#include "frmnote.h"
#include "frmprint.h"
#include "previewsurface.h"
#include "vbrt.h"

namespace designer {

namespace {
const char kPictureFilter[] = "Pictures (*.bmp;*.jpg;*.gif;*.ico)|*.bmp;*.jpg;*.gif;*.ico";

// Asks for a picture file and loads it; nothing on Cancel or for a file that is no picture.
std::optional<DesignerObjects::ChosenPicture> AskPicture(QWidget* owner) {
  forms::CommonDialog dialog;
  dialog.DialogTitle = QStringLiteral("Select Picture");
  dialog.Filter = QString::fromLatin1(kPictureFilter);
  dialog.FileName = QStringLiteral("*.bmp;*.dib;*.jpg;*.gif");
  dialog.Flags = forms::cdlOFNFileMustExist | forms::cdlOFNHideReadOnly;
  dialog.CancelError = true;
  dialog.Owner = owner;
  try {
    dialog.ShowOpen();
  } catch (const vbrt::RuntimeError&) {
    return std::nullopt;
  }
  QFile file(dialog.FileName);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  DesignerObjects::ChosenPicture chosen;
  chosen.bytes = file.readAll();
  chosen.image = QImage::fromData(chosen.bytes);
  chosen.path = dialog.FileName;
  if (chosen.image.isNull()) return std::nullopt;
  return chosen;
}
}  // namespace

void frmPrint::ConnectDesigner() {
  DesignerObjects& objects = Objects();
  items_ = new DesignerItems(objects, session_.Pictures(), CanvasWidget(), session_.Canvas().DpiX());
  items_->showPosition = [this](const QString& text) { posPanel_->setText(text); };
  items_->popupEdit = [this](QPoint at) { menus_.value(QStringLiteral("mnuEdit"))->exec(at); };
  items_->canvasChanged = [this] { CanvasWidget()->update(); };
  objects.onChanged = [this] { SyncDesigner(); };
  objects.onRepaint = [this] {
    if (loaded_ && !unloaded_) session_.DoPrintPreview();
  };
  objects.view = [this] { return DesignerView(); };
  objects.showEditor = [this] { ShowNoteEditor(); };
  objects.choosePicture = [this] { return ChoosePicture(); };
  connect(actions_.value(QStringLiteral("mnuInsText")), &QAction::triggered, this, [this] { InsertTextCommand(); });
  connect(actions_.value(QStringLiteral("mnuInsPic")), &QAction::triggered, this, [this] { InsertPictureCommand(); });
  connect(actions_.value(QStringLiteral("mnuEditEdit")), &QAction::triggered, this,
          [this] { Objects().EditCurrent(); });
  connect(actions_.value(QStringLiteral("mnuEditDelete")), &QAction::triggered, this,
          [this] { Objects().DeleteCurrent(); });
  connect(actions_.value(QStringLiteral("mnuEditDup")), &QAction::triggered, this,
          [this] { Objects().DuplicateSelection(); });
  connect(actions_.value(QStringLiteral("mnuEditDupPage")), &QAction::triggered, this,
          [this] { Objects().DuplicateSelectionOnFullPage(); });
  objects.popupEdit = [this] { menus_.value(QStringLiteral("mnuEdit"))->popup(QCursor::pos()); };
  objects.onOutline = [this] { items_->UpdateOverlay(); };
}

void frmPrint::DisconnectDesigner() {
  DesignerObjects& objects = Objects();
  objects.onChanged = nullptr;
  objects.onRepaint = nullptr;
  objects.view = nullptr;
  objects.showEditor = nullptr;
  objects.choosePicture = nullptr;
  objects.popupEdit = nullptr;
  objects.onOutline = nullptr;
}

void frmPrint::SyncDesigner() {
  if (!items_) return;
  items_->Sync();
  const DesignerMenus& m = Objects().Menus();
  actions_.value(QStringLiteral("mnuEditEdit"))->setEnabled(m.edit);
  actions_.value(QStringLiteral("mnuEditDelete"))->setEnabled(m.del);
  actions_.value(QStringLiteral("mnuEditDup"))->setEnabled(m.dup);
  actions_.value(QStringLiteral("mnuEditDupPage"))->setEnabled(m.dupPage);
  actions_.value(QStringLiteral("mnuFileSave"))->setEnabled(m.save);
  CanvasWidget()->update();
}

CanvasView frmPrint::DesignerView() {
  const double dpi = session_.Canvas().DpiX();
  const double t = style()->pixelMetric(QStyle::PM_ScrollBarExtent) / dpi;
  CanvasView v;
  v.clientWidth = client_->width() / dpi;
  v.clientHeight = client_->height() / dpi;
  v.canvasLeft = CanvasWidget()->x() / dpi;
  v.canvasTop = CanvasWidget()->y() / dpi;
  v.vScrollWidth = layout_.vShown ? t : 0;
  v.hScrollHeight = layout_.hShown ? t : 0;
  return v;
}

void frmPrint::ShowNoteEditor() {
  frmNote editor(session_.Job().FontTable[7], session_.DesignerState(), this);
  forms::ShowModal(&editor, this);
}

std::optional<DesignerObjects::ChosenPicture> frmPrint::ChoosePicture() { return AskPicture(this); }

void frmPrint::InsertTextCommand() { Objects().InsertText(); }

void frmPrint::InsertPictureCommand() {
  std::optional<DesignerObjects::ChosenPicture> chosen = AskPicture(this);
  if (!chosen) return;
  Objects().InsertLogoPicture(std::move(chosen->image), std::move(chosen->bytes), chosen->path);
}

bool frmPrint::InsertFirstText() {
  app::PrintJob& job = session_.Job();
  if (job.LabelMedium == 2)
    job.LabelCellHeight =
        (job.PrintBottom - job.PrintTop) / std::max<SHORT>(1, job.LabelRowCount) + job.PrintTop - job.LabelCellTop;
  // The label cell lies on the canvas at the current zoom; the insertion stores it divided once.
  double x = job.LabelCellLeft, y = job.LabelCellTop, w = job.LabelCellWidth, h = job.LabelCellHeight;
  return Objects().InsertText(x, y, w, h);
}

void frmPrint::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (firstTextPending_ && loaded_ && !unloaded_) {
    firstTextPending_ = false;
    InsertFirstText();
  }
}

}  // namespace designer
