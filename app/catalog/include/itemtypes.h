// Item kinds as the listings and the search print them: type texts and two-digit type codes,
// tree keys, and the value formats shared by result rows and report tables.
#pragma once

#include <QString>

#include "vbrt.h"
#include "wintypes.h"

namespace app::catalog {

// The two-digit type codes: "00" local disk or user media type, "01" network connection,
// "02" floppy, "03" Zip, "04" CD-RW, "05" folder, "06" file. The code is the icon index of
// the listing views and the last two characters of every NAME value of a report table.
inline constexpr int kCodeFolder = 5;
inline constexpr int kCodeFile = 6;

// The type text of a walk's kind ("FOLDER", "FILE" or a disk's media type name) for an item
// named name: " File Folder", "<EXT> File" (" File" for a name without "."), or two blanks and
// the media type name. code receives the two-digit code; with foldersOnly a file gets neither
// text nor code (code is left as it was, and the item is to be skipped).
QString GetItemTypeText(const QString& kind, QString& code, const QString& name, bool foldersOnly = false);
// The type code's value of a walk's kind (5 "FOLDER", 6 "FILE", 0 to 4 the media types).
int ItemTypeCode(QStringView kind);

// The key of a folder node in a tree listing: its path relative to the start folder with "\"
// between components. Keys of folders begin with "\" so that they never meet the root's key
// "R", and every path has its own key ("2003" and "F2003" are two folders).
inline constexpr char16_t kRootTreeKey[] = u"R";
QString MakeTreeKey(const QString& path);

// A walk's path split at its last "\": the name after it and the folder part before it (with
// its trailing "\", or empty). The depth is the number of "\" after the first character.
QString NameOfPath(const QString& path);
QString FolderOfPath(const QString& path);
int DepthOfPath(const QString& path);

// Value formats.
// The search result's "Serial #": "(none)" for 0 (or no serial), else ten digits.
QString SerialColumnText(double serial);
// A report table's DISK_SERIAL_NUMBER: "(none)" for 0, else the number's text with its
// leading blank, right-aligned in 11 characters.
QString SerialFieldText(double serial);
// SIZE: the KB with thousands separators right-aligned in 11 characters, then "KB".
QString SizeText(LONG sizeKB);
// LOCATION of catalog listings: the folder part prefixed with "ROOT:\" ("ROOT:" alone when it
// already begins with "\"; "ROOT:\" for an empty part or "\" alone).
QString LocationFieldText(const QString& folderPart);
// Dates: catalog listings "yyyy/mm/dd hh:mm AMPM", drive listings and the print table
// "M/d/yy h:mm AMPM" / "M/d/yy hh:mm AMPM".
QString CatalogDateText(DATE date);
QString ShortDateText(DATE date);
QString ShortDateText2(DATE date);

// The runtime's Format with QString text.
QString FormatText(const QString& text, const char16_t* pattern);
QString FormatNumber(double value, const char16_t* pattern);

// The note with a category as it is stored: the category padded with blanks to 10
// characters, "| ", then the note text.
QString CategoryNote(const QString& category, const QString& note);

}  // namespace app::catalog
