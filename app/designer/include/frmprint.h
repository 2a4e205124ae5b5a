// The print preview window: menus, toolbar, status bar, the page canvas and its scroll bars,
// over the PreviewSession that holds its state and decisions.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QString>

#include <functional>
#include <optional>

#include "previewlayout.h"
#include "previewsession.h"

class QAction;
class QLabel;
class QMenu;
class QScrollBar;
class QToolBar;

namespace designer {

class DesignerItems;

class frmPrint : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmPrint(PreviewEnvironment env, QWidget* parent = nullptr);
  ~frmPrint() override;

  // The window's Load; false when the job cannot be shown (the window has told the user and
  // unloaded itself).
  bool Load();
  bool Loaded() const { return loaded_; }

  // Prepares the window for a new document before it is shown: the designer's objects anew
  // and the job's default zoom. False when the window had to close again.
  bool RestoreFromCustArray(bool firstPrint);
  bool DesignerRestored() const { return designerRestored_; }
  // Applies a zoom code ("150PC"); redraw shows the canvas and draws the page, and the Zoom
  // button shows the new zoom. A text that is no zoom code changes nothing.
  void SetZoomFactor(const QString& zoomCode, bool redraw);

  void DoPrintPreview(bool counting = false) { session_.DoPrintPreview(counting); }
  void GotoNextPage() { session_.Paging().GotoNextPage(); }
  void GotoPrevPage() { session_.Paging().GotoPrevPage(); }
  void GotoFirstPage() { session_.Paging().GotoFirstPage(); }
  void GotoLastPage(SHORT page = 0) { session_.Paging().GotoLastPage(page); }
  SHORT GetNumPages() const { return session_.Paging().GetNumPages(); }
  bool IsDupPageAllowed() const { return session_.IsDupPageAllowed(); }
  // Walks all pages again after a layout change, with the notice over the window.
  void DoPageRecalc();
  // The page setup changed the layout: at 100 % with the canvas hidden, the rows rewound and
  // the printable box set for the canvas, every page walked again, then the zoom it had.
  void Reformat();
  void Find();
  void FindNextItem();

  PreviewSession& Session() { return session_; }
  DesignerObjects& Objects() { return session_.Objects(); }
  DesignerItems& Items() const { return *items_; }
  // The designer's commands: Insert Text, Insert Picture, Edit and Delete.
  void InsertTextCommand();
  void InsertPictureCommand();
  const PreviewLayout& Layout() const { return layout_; }
  QAction* Action(const QString& name) const { return actions_.value(name); }
  QMenu* Menu(const QString& name) const { return menus_.value(name); }
  QString PanelText(const QString& key) const;
  // The notices DoPageRecalc showed, in order.
  const QStringList& Notices() const { return notices_; }

  // Saves the designer's objects as a custom template (File, Save As Custom Template, and Yes
  // at the close-time question); true only when saved.
  std::function<bool(QWidget* owner)> SaveCustomTemplate;
  // File, Load Custom Template: the objects of a template file in place of the current ones,
  // shown at 100 %; a Cancel or a refused file changes nothing.
  void LoadCustomTemplate();
  // Prints the pages from..to (0 and 0: all) on the current Printer. The print run comes
  // later; until then it does nothing.
  std::function<void(SHORT fromPage, SHORT toPage)> DoPrint;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Canvas;
  void BuildMenus();
  void BuildToolbar();
  void BuildStatusBar();
  QAction* AddAction(QMenu* menu, const QString& name, const QString& caption);
  void ButtonClick(const QString& key);
  void FormResize();
  void PlaceWidgets();
  void PageShown();
  void ShowPageControls();
  void SetTextLabels(bool on);
  void PrintCommand();
  void InsertPopup();
  void ShowGoto();
  void ShowCustomZoom();
  bool QueryUnload();
  // The designer's side of the window (frmprintdesigner.cpp).
  void ConnectDesigner();
  void DisconnectDesigner();
  void SyncDesigner();
  CanvasView DesignerView();
  QWidget* CanvasWidget() const;
  void ShowNoteEditor();
  std::optional<DesignerObjects::ChosenPicture> ChoosePicture();
  // The first text of a custom listing, over its first label cell; false when the editor gave
  // no text.
  bool InsertFirstText();

  PreviewSession session_;
  PreviewLayout layout_;
  QHash<QString, QAction*> actions_;
  QHash<QString, QMenu*> menus_;
  QToolBar* toolbar_ = nullptr;
  QLabel* measurePanel_ = nullptr;
  QLabel* posPanel_ = nullptr;
  QLabel* pagePanel_ = nullptr;
  QWidget* client_ = nullptr;
  Canvas* canvas_ = nullptr;
  QScrollBar* hScroll_ = nullptr;
  QScrollBar* vScroll_ = nullptr;
  QWidget* corner_ = nullptr;
  QLabel* notice_ = nullptr;
  QStringList notices_;
  bool loaded_ = false;
  bool unloaded_ = false;
  bool designerRestored_ = false;
  bool layoutInProgress_ = false;
  DesignerItems* items_ = nullptr;
  bool firstTextPending_ = false;  // a custom listing's first text, at the first show
};

}  // namespace designer
