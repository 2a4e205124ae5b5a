// The text editor of the label designer ("Custom Note"): the text, its font, justification and
// rotation, over FontTable(7), NoteText and NoteAlignment, with a rotated preview.
#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <optional>

#include "forms.h"
#include "wintypes.h"

class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;
class QStackedWidget;
class QTabBar;
class QTextEdit;

namespace app {
struct FontSlot;
struct Designer;
}  // namespace app

namespace designer {

// The angle box's text as an angle: whole degrees from 0 to 360; nothing for an empty box or
// anything else.
std::optional<SHORT> NoteAngle(const QString& text);
// The angle option of an angle: 0, 90, 180 or 270 give their option's index, others none.
std::optional<int> AngleOption(SHORT angle);
// The editor's justification code (0 left, 1 centre, 2 right) of option i ("Left", "Right",
// "Center").
SHORT JustificationOfOption(int option);

class frmNote : public QDialog {
  Q_OBJECT
 public:
  frmNote(app::FontSlot& slot, app::Designer& designer, QWidget* parent = nullptr);

  QTextEdit* edNote() const { return edNote_; }
  QLineEdit* txtAngle() const { return txtAngle_; }
  QRadioButton* optJust(int i) const { return optJust_[i]; }
  QRadioButton* optAngl(int i) const { return optAngl_[i]; }
  QTabBar* Tab1() const { return tab1_; }
  bool NoteCancelled() const { return cancelled_; }
  // The angle of the last preview drawn, in tenths of a degree (nothing: none drawn).
  std::optional<int> PreviewAngle() const { return previewAngle_; }
  const forms::CommonDialog& Chooser() const { return chooser_; }

  void OkClick();
  void CancelClick();
  void FontClick();

 protected:
  void done(int result) override;
  void showEvent(QShowEvent* event) override;

 private:
  void ApplyChooserFont();
  void Justify(int option);
  void DrawRotatedText();
  void Unload();

  app::FontSlot& slot_;
  app::Designer& designer_;
  forms::CommonDialog chooser_;
  QTabBar* tab1_;
  QStackedWidget* pages_;
  QTextEdit* edNote_;
  std::array<QRadioButton*, 3> optJust_;
  std::array<QRadioButton*, 4> optAngl_;
  QLineEdit* txtAngle_;
  QWidget* upDown_;
  QLabel* preview_;
  std::optional<int> previewAngle_;
  bool cancelled_ = false;
  bool confirmed_ = false;
  bool unloaded_ = false;
};

}  // namespace designer
