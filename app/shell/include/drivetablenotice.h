// The message that shows, once at start, the lines of the drive table that were left out.
#pragma once

#include <QString>

#include <string>
#include <vector>

namespace app {

// The message for the drive table's problems ("drives.txt:4: ..."), naming the file; empty
// when there are none.
QString DriveTableProblemsText(const std::string& tablePath, const std::vector<std::string>& problems);

// Shows the drive table's problems in a message box (through the forms layer), if it has any.
void ShowDriveTableProblems();

}  // namespace app
