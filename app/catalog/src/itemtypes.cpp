// Type texts and codes of item kinds, tree keys and the shared value formats.
#include "itemtypes.h"

namespace app::catalog {

namespace {

QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }
std::u16string U(const QString& s) { return s.toStdU16String(); }

}  // namespace

QString FormatText(const QString& text, const char16_t* pattern) { return Q(vbrt::Format(U(text), pattern)); }
QString FormatNumber(double value, const char16_t* pattern) { return Q(vbrt::Format(value, pattern)); }

int ItemTypeCode(QStringView kind) {
  if (kind == u"FOLDER") return kCodeFolder;
  if (kind == u"FILE") return kCodeFile;
  if (kind == u"Floppy Disk") return 2;
  if (kind == u"Zip Disk") return 3;
  if (kind == u"CD-RW Disk") return 4;
  if (kind == u"Network Connection") return 1;
  return 0;  // "Local Disk" and the user media types
}

QString GetItemTypeText(const QString& kind, QString& code, const QString& name, bool foldersOnly) {
  const int value = ItemTypeCode(kind);
  if (value == kCodeFile && foldersOnly) return QString();
  code = QStringLiteral("0") + QChar(u'0' + value);
  if (value == kCodeFolder) return QStringLiteral(" File Folder");
  if (value == kCodeFile) {
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0) return QStringLiteral(" File");
    return name.mid(dot + 1).toUpper() + QStringLiteral(" File");
  }
  return QStringLiteral("  ") + kind;
}

QString MakeTreeKey(const QString& path) { return QStringLiteral("\\") + path; }

QString NameOfPath(const QString& path) { return path.mid(path.lastIndexOf(u'\\') + 1); }

QString FolderOfPath(const QString& path) { return path.left(path.lastIndexOf(u'\\') + 1); }

int DepthOfPath(const QString& path) {
  if (path.isEmpty()) return 0;
  return static_cast<int>(QStringView(path).mid(1).count(u'\\'));
}

QString SerialColumnText(double serial) {
  if (serial <= 0) return QStringLiteral("(none)");
  return FormatNumber(serial, u"0000000000");
}

QString SerialFieldText(double serial) {
  if (serial == 0) return QStringLiteral("(none)");
  return FormatText(Q(vbrt::Str(serial)), u"@@@@@@@@@@@");
}

QString SizeText(LONG sizeKB) {
  return FormatText(FormatNumber(sizeKB, u"#,##0"), u"@@@@@@@@@@@") + QStringLiteral("KB");
}

QString LocationFieldText(const QString& folderPart) {
  if (folderPart.isEmpty() || folderPart == u"\\") return QStringLiteral("ROOT:\\");
  if (folderPart.startsWith(u'\\')) return QStringLiteral("ROOT:") + folderPart;
  return QStringLiteral("ROOT:\\") + folderPart;
}

QString CatalogDateText(DATE date) { return FormatNumber(date, u"yyyy/mm/dd hh:mm AMPM"); }
QString ShortDateText(DATE date) { return FormatNumber(date, u"M/d/yy h:mm AMPM"); }
QString ShortDateText2(DATE date) { return FormatNumber(date, u"M/d/yy hh:mm AMPM"); }

QString CategoryNote(const QString& category, const QString& note) {
  return FormatText(category, u"!@@@@@@@@@@") + QStringLiteral("| ") + note;
}

}  // namespace app::catalog
