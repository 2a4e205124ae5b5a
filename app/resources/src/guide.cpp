// Laying out the user guide: Markdown to a text document, pictures fitted to the page, pages
// printed into a PDF with page numbers.
#include "guide.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QUrl>

namespace resources {

namespace {

// Every picture no wider than the text, keeping its proportions.
void FitPictures(QTextDocument& doc, double textWidth) {
  for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid() || !fragment.charFormat().isImageFormat()) continue;
      QTextImageFormat image = fragment.charFormat().toImageFormat();
      const QVariant resource = doc.resource(QTextDocument::ImageResource, QUrl(image.name()));
      const QImage picture = resource.value<QImage>();
      if (picture.isNull()) continue;
      // Screenshots are shown at about 110 pixels per inch of paper, narrower when too wide.
      const double naturalWidth = picture.width() * 72.0 / 110.0;
      const double width = std::min(naturalWidth, textWidth);
      image.setWidth(width);
      image.setHeight(width * picture.height() / picture.width());
      QTextCursor cursor(&doc);
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      cursor.setCharFormat(image);
    }
  }
}

}  // namespace

bool WriteGuide(const QString& sourcePath, const QString& pdfPath, QString* error) {
  QFile source(sourcePath);
  if (!source.open(QIODevice::ReadOnly)) {
    if (error) *error = QStringLiteral("cannot read ") + sourcePath;
    return false;
  }
  // Pictures are named relative to the source; printing lays out a copy of the document, which
  // finds them only by their full names.
  const QString folder = QFileInfo(sourcePath).absolutePath() + QLatin1Char('/');
  QString text = QString::fromUtf8(source.readAll());
  text.replace(QStringLiteral("](images/"),
               QStringLiteral("](") + QUrl::fromLocalFile(folder).toString() + QStringLiteral("images/"));

  QPdfWriter writer(pdfPath);
  writer.setTitle(QStringLiteral("Xendora User Guide"));
  writer.setCreator(QStringLiteral("Xendora"));
  writer.setPageSize(QPageSize(QPageSize::Letter));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
  writer.setResolution(300);

  QTextDocument doc;
  doc.setBaseUrl(QUrl::fromLocalFile(folder));
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPointSizeF(10.5);
  doc.setDefaultFont(font);
  doc.setDefaultStyleSheet(
      QStringLiteral("h1 { color: #1F3A68; } h2 { color: #1F3A68; } code { font-family: 'Liberation Mono'; }"));
  doc.setMarkdown(text);
  // The page in points: letter paper, with the 2 cm margin the printing keeps around the text.
  const double textWidth = 612.0 - 2 * 72.0 * 2.0 / 2.54;
  FitPictures(doc, textWidth);
  doc.print(&writer);
  if (!QFileInfo(pdfPath).exists() || QFileInfo(pdfPath).size() == 0) {
    if (error) *error = QStringLiteral("cannot write ") + pdfPath;
    return false;
  }
  return true;
}

}  // namespace resources
