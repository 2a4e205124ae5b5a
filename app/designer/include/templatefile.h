// Custom template files ("*.DKT"): the designer's texts and pictures written to and read from a
// template document of the template store library, and the File menu's Save and Load over them.
//
// The file and its content are plain (no widgets): WriteTemplateFile and ReadTemplateFile work
// between a file and a TemplateContent, which LiveObjects takes from the designer's records and
// picture store and TemplateArrays turns back into them. The two commands at the end add the
// file dialogs and the error box.
//
// A save writes a file beside the target and renames it over the target only once it is
// whole, so that a failed save leaves the old file as it was and nothing beside it. A load
// opens only a file that exists, reads every node before anything changes and refuses the
// whole file when a node is missing or a value is out of range; the caller then keeps its
// design.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

#include <optional>

#include "appstate.h"
#include "picturestore.h"

class QWidget;

namespace designer {

struct TemplatePicture {
  app::CustomPictureRecord record;
  QByteArray bytes;  // the picture file as read
  QImage image;      // decoded from bytes by a read; not used by a write
};

// The live objects of a template, in slot order.
struct TemplateContent {
  QList<app::CustomTextRecord> texts;
  QList<TemplatePicture> pictures;
};

// Why a template could not be written or read: the runtime's error number and its description.
struct TemplateError {
  int number = 0;
  QString description;
};

// The values a read accepts.
inline constexpr double kTemplateMeasureLimit = 1000.0;  // inches, either way
inline constexpr SHORT kTemplateAlignMax = 2;            // 0 left, 1 right, 2 centre

// The live objects of the designer's records: every text slot that is not free, every picture
// slot that is not free and has a name and a picture file's bytes in the store.
TemplateContent LiveObjects(const app::Designer& designer, const PictureStore& pictures);

// Writes the content as a template file at path. False (with the error) when it failed; path
// then is as it was.
bool WriteTemplateFile(const QString& path, const TemplateContent& content, TemplateError* error);

// Reads a whole template file; nothing (with the error) when the file does not exist, is no
// template, lacks a node or holds a value out of range.
std::optional<TemplateContent> ReadTemplateFile(const QString& path, TemplateError* error);

// The designer's arrays for a loaded content: the objects in slots 0 to n - 1 and one spare
// slot (no object: slot 0 free and the spare slot), the pictures keyed by their slots.
struct TemplateArrays {
  QList<app::CustomTextRecord> texts;
  QList<app::CustomPictureRecord> pictures;
  PictureStore store;
};
TemplateArrays ToDesignerArrays(TemplateContent content);

// The folder the template dialogs open: the program folder's "Templates/" and the label
// kind's folder.
QString TemplateDialogFolder(const QString& templateFolder);

// The File menu's Save As Custom Template: with live objects, asks for a file ("Save Custom
// Template") and writes it. True only when saved; a Cancel or a failure (shown in the error
// box) gives false.
bool SaveTemplateThroughDialog(QWidget* owner, const QString& templateFolder, const app::Designer& designer,
                               const PictureStore& pictures);

// The File menu's Load Custom Template: asks for a file ("Load Custom Template") and reads it.
// Nothing on Cancel or when the file was refused (shown in the error box).
std::optional<TemplateContent> LoadTemplateThroughDialog(QWidget* owner, const QString& templateFolder);

}  // namespace designer
