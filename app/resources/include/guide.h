// The user guide "XendoraDocs.pdf", laid out from its Markdown source in docs/ (with the
// pictures it names beside it) into pages of a PDF.
#pragma once

#include <QString>

namespace resources {

// Writes the guide of the source file to pdfPath; false with a message in error.
bool WriteGuide(const QString& sourcePath, const QString& pdfPath, QString* error);

}  // namespace resources
