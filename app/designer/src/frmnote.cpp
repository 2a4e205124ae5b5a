// The designer's text editor: opening from the working font, the font chooser, justification,
// the rotation options and angle box, the rotated preview, OK and Cancel.
#include "frmnote.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>

#include "appstate.h"
#include "compctltext.h"
#include "global.h"
#include "previewsurface.h"
#include "vbrt.h"

namespace designer {

namespace {
constexpr SHORT kMaxAngle = 360;

// Whole degrees from 0 to 360, typed or pasted; anything else is refused as it comes.
class AngleValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    if (input.isEmpty()) return Acceptable;
    return NoteAngle(input) ? Acceptable : Invalid;
  }
};

QColor ColorOf(LONG bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }
}  // namespace

std::optional<SHORT> NoteAngle(const QString& text) {
  if (text.isEmpty() || text.size() > 3) return std::nullopt;
  for (QChar c : text)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
  const int value = text.toInt();
  if (value > kMaxAngle) return std::nullopt;
  return static_cast<SHORT>(value);
}

std::optional<int> AngleOption(SHORT angle) {
  if (angle == 0 || angle == 90 || angle == 180 || angle == 270) return angle / 90;
  return std::nullopt;
}

SHORT JustificationOfOption(int option) {
  switch (option) {
    case 1: return 2;  // "Right"
    case 2: return 1;  // "Center"
    default: return 0;
  }
}

frmNote::frmNote(app::FontSlot& slot, app::Designer& designer, QWidget* parent)
    : QDialog(parent), slot_(slot), designer_(designer) {
  setObjectName(QStringLiteral("frmNote"));
  setWindowTitle(QStringLiteral("Custom Note"));
  auto* layout = new QVBoxLayout(this);
  tab1_ = new QTabBar(this);
  tab1_->setObjectName(QStringLiteral("Tab1"));
  tab1_->addTab(QStringLiteral("Text"));
  tab1_->setTabData(0, QStringLiteral("TEXT"));
  tab1_->addTab(QStringLiteral("Text Rotation"));
  tab1_->setTabData(1, QStringLiteral("ROT"));
  layout->addWidget(tab1_);
  pages_ = new QStackedWidget(this);
  layout->addWidget(pages_);

  auto* picText = new QWidget(pages_);
  picText->setObjectName(QStringLiteral("picText"));
  auto* textLayout = new QVBoxLayout(picText);
  auto* label1 = new QLabel(QStringLiteral("Type label text in the box below.  Select alignment, font type, font size "
                                           "and color by clicking on the appropriate buttons below."),
                            picText);
  label1->setObjectName(QStringLiteral("Label1"));
  label1->setWordWrap(true);
  textLayout->addWidget(label1);
  edNote_ = new QTextEdit(picText);
  edNote_->setObjectName(QStringLiteral("edNote"));
  edNote_->setAcceptRichText(false);
  textLayout->addWidget(edNote_);
  auto* row = new QHBoxLayout;
  auto* label2 = new QLabel(QStringLiteral("Align:"), picText);
  label2->setObjectName(QStringLiteral("Label2"));
  row->addWidget(label2);
  const char* justCaptions[] = {"Left", "Right", "Center"};
  for (int i = 0; i < 3; ++i) {
    optJust_[i] = new QRadioButton(QString::fromLatin1(justCaptions[i]), picText);
    optJust_[i]->setObjectName(QStringLiteral("optJust%1").arg(i));
    row->addWidget(optJust_[i]);
    connect(optJust_[i], &QRadioButton::clicked, this, [this, i] { Justify(i); });
  }
  row->addStretch();
  auto* btnFont = new QPushButton(QStringLiteral("Select Font ..."), picText);
  btnFont->setObjectName(QStringLiteral("btnFont"));
  row->addWidget(btnFont);
  textLayout->addLayout(row);
  pages_->addWidget(picText);

  auto* picRot = new QWidget(pages_);
  picRot->setObjectName(QStringLiteral("picRot"));
  auto* rotLayout = new QHBoxLayout(picRot);
  auto* frame1 = new QGroupBox(QStringLiteral("Rotation Angle"), picRot);
  frame1->setObjectName(QStringLiteral("Frame1"));
  auto* angleLayout = new QVBoxLayout(frame1);
  const char* angleCaptions[] = {"0 degree", "90 degrees", "180 degrees", "270 degrees"};
  for (int i = 0; i < 4; ++i) {
    optAngl_[i] = new QRadioButton(QString::fromLatin1(angleCaptions[i]), frame1);
    optAngl_[i]->setObjectName(QStringLiteral("optAngl%1").arg(i));
    angleLayout->addWidget(optAngl_[i]);
    connect(optAngl_[i], &QRadioButton::clicked, this, [this, i] { txtAngle_->setText(QString::number(i * 90)); });
  }
  auto* customRow = new QHBoxLayout;
  auto* label4 = new QLabel(QStringLiteral("Custom:"), frame1);
  label4->setObjectName(QStringLiteral("Label4"));
  customRow->addWidget(label4);
  txtAngle_ = new QLineEdit(frame1);
  txtAngle_->setObjectName(QStringLiteral("txtAngle"));
  txtAngle_->setValidator(new AngleValidator(txtAngle_));
  txtAngle_->setMaximumWidth(60);
  customRow->addWidget(txtAngle_);
  upDown_ = new QWidget(frame1);
  upDown_->setObjectName(QStringLiteral("UpDown1"));
  auto* upDownLayout = new QVBoxLayout(upDown_);
  upDownLayout->setContentsMargins(0, 0, 0, 0);
  upDownLayout->setSpacing(0);
  for (int step : {1, -1}) {
    auto* b = new QToolButton(upDown_);
    b->setArrowType(step > 0 ? Qt::UpArrow : Qt::DownArrow);
    b->setAutoRepeat(true);
    b->setFixedSize(18, 11);
    upDownLayout->addWidget(b);
    connect(b, &QToolButton::clicked, this, [this, step] {
      const int now = NoteAngle(txtAngle_->text()).value_or(0);
      txtAngle_->setText(QString::number(std::clamp(now + step, 0, static_cast<int>(kMaxAngle))));
    });
  }
  customRow->addWidget(upDown_);
  customRow->addStretch();
  angleLayout->addLayout(customRow);
  rotLayout->addWidget(frame1);
  auto* frame2 = new QGroupBox(QStringLiteral("Preview"), picRot);
  frame2->setObjectName(QStringLiteral("Frame2"));
  auto* previewLayout = new QVBoxLayout(frame2);
  preview_ = new QLabel(frame2);
  preview_->setObjectName(QStringLiteral("picTxtPreview"));
  preview_->setFixedSize(200, 200);
  preview_->setStyleSheet(QStringLiteral("QLabel { background: white; }"));
  previewLayout->addWidget(preview_);
  rotLayout->addWidget(frame2);
  pages_->addWidget(picRot);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* ok = new QPushButton(QStringLiteral("&OK"), this);
  ok->setObjectName(QStringLiteral("btnOK"));
  auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  cancel->setObjectName(QStringLiteral("btnCancel"));
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  resize(520, 360);

  connect(tab1_, &QTabBar::tabBarClicked, this, [this](int index) {
    const QString key = tab1_->tabData(index).toString();
    if (key == QLatin1String("ROT"))
      pages_->setCurrentIndex(1);
    else if (key == QLatin1String("TEXT"))
      pages_->setCurrentIndex(0);
  });
  connect(tab1_, &QTabBar::currentChanged, this, [this](int index) {
    pages_->setCurrentIndex(tab1_->tabData(index).toString() == QLatin1String("ROT") ? 1 : 0);
  });
  connect(btnFont, &QPushButton::clicked, this, &frmNote::FontClick);
  connect(txtAngle_, &QLineEdit::textChanged, this, [this] { DrawRotatedText(); });
  connect(edNote_, &QTextEdit::textChanged, this, [this] { DrawRotatedText(); });
  connect(ok, &QPushButton::clicked, this, &frmNote::OkClick);
  connect(cancel, &QPushButton::clicked, this, &frmNote::CancelClick);

  // Opening: the justification, then the working font when it was ever set, then the text.
  const SHORT align = designer_.NoteAlignment;
  Justify(align == 1 ? 2 : align == 2 ? 1 : 0);
  if (slot_.FontSize > 0) {
    chooser_.FontName = slot_.FontName;
    chooser_.FontSize = slot_.FontSize;
    chooser_.FontBold = slot_.FontBold;
    chooser_.FontItalic = slot_.FontItal;
    chooser_.FontUnderline = slot_.FontUnder;
    chooser_.Color = slot_.FontColor;
    ApplyChooserFont();
    txtAngle_->setText(QString::number(slot_.FontAngle));
    const std::optional<int> option = AngleOption(slot_.FontAngle);
    for (int i = 0; i < 4; ++i) optAngl_[i]->setAutoExclusive(false);
    for (int i = 0; i < 4; ++i) optAngl_[i]->setChecked(option && *option == i);
    for (int i = 0; i < 4; ++i) optAngl_[i]->setAutoExclusive(true);
  }
  edNote_->setPlainText(designer_.NoteText);
  DrawRotatedText();
}

void frmNote::Justify(int option) {
  optJust_[option]->setChecked(true);
  const Qt::Alignment a = option == 1 ? Qt::AlignRight : option == 2 ? Qt::AlignHCenter : Qt::AlignLeft;
  const QTextCursor keep = edNote_->textCursor();
  edNote_->selectAll();
  edNote_->setAlignment(a);
  edNote_->setTextCursor(keep);
  edNote_->document()->setDefaultTextOption(QTextOption(a));
  designer_.NoteAlignment = JustificationOfOption(option);
}

void frmNote::ApplyChooserFont() {
  QFont font(surface::ResolvedFamily(chooser_.FontName.isEmpty() ? edNote_->font().family() : chooser_.FontName));
  font.setPointSizeF(chooser_.FontSize > 0 ? chooser_.FontSize : 8.0);
  font.setBold(chooser_.FontBold);
  font.setItalic(chooser_.FontItalic);
  font.setUnderline(chooser_.FontUnderline);
  font.setStrikeOut(chooser_.FontStrikethru);
  edNote_->setFont(font);
  edNote_->document()->setDefaultFont(font);
  QPalette p = edNote_->palette();
  p.setColor(QPalette::Text, ColorOf(chooser_.Color));
  edNote_->setPalette(p);
  DrawRotatedText();
}

void frmNote::FontClick() {
  forms::CommonDialog chosen = chooser_;
  chosen.Flags = forms::cdlCFBoth | forms::cdlCFEffects;  // 259
  chosen.CancelError = true;
  chosen.Owner = this;
  try {
    chosen.ShowFont();
  } catch (const vbrt::RuntimeError&) {
    return;  // Cancel changes nothing
  }
  chooser_ = chosen;
  ApplyChooserFont();
}

void frmNote::DrawRotatedText() {
  const std::optional<SHORT> angle = NoteAngle(txtAngle_->text());
  if (!angle) return;
  const double dpi = 96.0;
  surface::PreviewSurface s(preview_->width() / dpi, preview_->height() / dpi, dpi);
  s.Cls();
  s.SetForeColor(chooser_.Color);
  const QFont f = edNote_->font();
  const QString text = edNote_->toPlainText();
  const LONG right = std::lround(s.ScaleX(s.ScaleWidth(), surface::vbInches, surface::vbPixels));
  const LONG bottom = std::lround(s.ScaleY(s.ScaleHeight(), surface::vbInches, surface::vbPixels));
  const SHORT size = vbrt::CInt(f.pointSizeF() > 0 ? f.pointSizeF() : chooser_.FontSize);
  const LONG italic = f.italic() ? -1 : 0, bold = f.bold() ? -1 : 0, underline = f.underline() ? -1 : 0;
  const QString family = chooser_.FontName.isEmpty() ? f.family() : chooser_.FontName;
  const int tenths = *angle * 10;
  if (ICompCtl* control = app::MainCompCtl())
    reports::RotatedTextThrough(control)(s.hDC(), text, tenths, 0, 0, right, bottom, family, size, italic, bold,
                                         underline, chooser_.Color);
  else
    s.PrintText(text, tenths, 0, 0, right, bottom, family, size, italic, bold, underline, chooser_.Color);
  previewAngle_ = tenths;
  preview_->setPixmap(QPixmap::fromImage(s.Image()));
}

void frmNote::OkClick() {
  slot_.FontName = chooser_.FontName;
  slot_.FontSize = vbrt::CInt(chooser_.FontSize);  // halves to even
  slot_.FontBold = chooser_.FontBold;
  slot_.FontItal = chooser_.FontItalic;
  slot_.FontUnder = chooser_.FontUnderline;
  slot_.FontColor = chooser_.Color;
  if (const std::optional<SHORT> angle = NoteAngle(txtAngle_->text())) slot_.FontAngle = *angle;
  designer_.NoteText = edNote_->toPlainText();
  confirmed_ = true;
  accept();
}

void frmNote::CancelClick() { reject(); }

// Every way of closing but OK (Cancel, Escape, the close box) is a cancel.
void frmNote::done(int result) {
  if (!confirmed_) cancelled_ = true;
  QDialog::done(result);
  Unload();
}

void frmNote::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  edNote_->setFocus();
}

void frmNote::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  if (cancelled_) designer_.NoteText.clear();
}

}  // namespace designer
