// The designer's objects without a window, for the controller tests: a 96 dpi letter canvas,
// an editor that answers what the test sets, and records and pictures made to measure.
#pragma once

#include <gtest/gtest.h>

#include <QImage>

#include <optional>

#include "designerobjects.h"
#include "previewsurface.h"

namespace designer::test {

inline app::CustomTextRecord Text(const char* text, double left = 1.0) {
  app::CustomTextRecord r;
  r.Left = left;
  r.Top = 1.0;
  r.Width = r.Height = 1.0;
  r.FontName = QStringLiteral("Arial");
  r.FontSize = 10;
  r.Text = QString::fromUtf8(text);
  return r;
}

inline app::CustomTextRecord FreeText() {
  app::CustomTextRecord r;
  r.Left = r.Top = app::kFreeSlot;
  return r;
}

// A picture of w x h inches at 96 dpi.
inline QImage Picture(double w, double h, QRgb colour = qRgb(200, 30, 30)) {
  QImage image(static_cast<int>(w * 96), static_cast<int>(h * 96), QImage::Format_RGB32);
  image.fill(colour);
  image.setDotsPerMeterX(3780);
  image.setDotsPerMeterY(3780);
  return image;
}

struct Objects : ::testing::Test {
  Objects() : canvas(8.5, 11, 96), objects(designer, job, pictures, canvas) {
    job.PageWidth = 8.5;
    job.PageHeight = 11;
    job.FontTable[7].FontName = QStringLiteral("Arial");
    job.FontTable[7].FontSize = 12;
    objects.showEditor = [this] {
      ++editorShown;
      designer.NoteText = editorAnswer;
      if (editorAlignment) designer.NoteAlignment = *editorAlignment;
      if (editorAngle) job.FontTable[7].FontAngle = *editorAngle;
    };
    objects.view = [this] { return view; };
    objects.Loaded();
  }
  // Inserts a text through the editor at (x, y) canvas inches (0, 0: the default place).
  int Insert(const char* text, double x = 0.5, double y = 0.5) {
    editorAnswer = QString::fromUtf8(text);
    double w = 0, h = 0;
    if (!objects.InsertText(x, y, w, h)) return -1;
    return objects.CurrentObjectIndex();
  }
  QList<QString> Texts() const {
    QList<QString> out;
    for (qsizetype i = 0; i + 1 < designer.CustomTexts.size(); ++i)
      out.append(DesignerObjects::IsFree(designer.CustomTexts[i]) ? QStringLiteral("-") : designer.CustomTexts[i].Text);
    return out;
  }

  app::Designer designer;
  app::PrintJob job;
  PictureStore pictures;
  surface::PreviewSurface canvas;
  DesignerObjects objects;
  QString editorAnswer = QStringLiteral("Holiday");
  std::optional<SHORT> editorAlignment;
  std::optional<SHORT> editorAngle;
  int editorShown = 0;
  CanvasView view{8.0, 6.0, 0, 0, 0, 0};
};

}  // namespace designer::test
