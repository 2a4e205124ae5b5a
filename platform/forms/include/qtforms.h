// The Qt implementation of the forms services: QMessageBox, QInputDialog, QFileDialog, a font
// dialog with the colour choice, QColorDialog, the folder browser, QPrintDialog and a modal
// event loop for windows. It is the current instance unless a test replaces it.
#pragma once

#include <Qt>

#include "forms.h"

class QCursor;

namespace forms {

class QtForms : public Forms {
 public:
  int MessageBox(const MessageRequest& request) override;
  std::optional<QString> InputBox(const InputRequest& request) override;
  bool FileDialog(CommonDialog& dialog, FileDialogKind kind) override;
  bool FontDialog(CommonDialog& dialog) override;
  bool ColorDialog(CommonDialog& dialog) override;
  std::optional<QString> BrowseForFolder(const FolderRequest& request) override;
  bool PrinterDialog(PrinterDialogRequest& request) override;
  int ShowModal(QWidget* form, QWidget* owner) override;
  void SetScreenMousePointer(int pointer) override;
  int ScreenMousePointer() const override { return pointer_; }
  void DoEvents() override;

 private:
  int pointer_ = vbDefault;
};

// The Qt cursor of a mouse pointer value (vbDefault and unknown values: the arrow), for the
// windows' own MousePointer properties.
Qt::CursorShape CursorShapeForPointer(int pointer);

// The Qt name filter list of a "Text|pattern|Text|pattern" filter: "Text (pattern pattern)".
QStringList QtNameFilters(const QString& filter);

}  // namespace forms
