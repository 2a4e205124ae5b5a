// The settings store: the lasting settings (Settings) in "ctgr.ini" in the program folder.
//
// Sections and keys (numbered keys count from 0):
//   [Categories]  Category<n> = a category name; Category<count> = "#@#@!@#" ends the list
//   [Search]      String<n> = a remembered search text, n = 0 to 9
//   [Serial]      NumOthers = the number of user media types; Floppy, ZIP, CD = the next
//                 serial numbers as the forms runtime writes a number; Other<n> = the next
//                 serial of user media type n, as text
//   [Drives]      Floppy, ZIP, CD, Other<n> = the drive of each media type
//   [DriveNames]  Other<n> = the name of user media type n
//   [LastFile]    Name = the catalog open at the last exit, "-1" for none
//
// LoadSettings reads the whole file once; SaveSettings writes the whole set back, in one
// atomic replacement of the file, changing only the keys it writes. Values read back as they
// were saved: a value with blanks at either end or in enclosing quotes is written inside one
// more pair of quotes, and line breaks in a value are written as blanks.
//
// Failures raise vbrt::RuntimeError for the caller's handler: a settings file that exists but
// cannot be read (70, permission denied), a file that cannot be written (76 when its folder
// does not exist, else 70; the old file is then unchanged).
#pragma once

#include <filesystem>

#include "appstate.h"

namespace app {

// The program folder's "ctgr.ini".
std::filesystem::path SettingsFilePath();

// Global().settings from and to SettingsFilePath().
void LoadSettings();
void SaveSettings();

void LoadSettings(Settings& state, const std::filesystem::path& file);
void SaveSettings(const Settings& state, const std::filesystem::path& file);

}  // namespace app
