// frmStart: the program's start. A second start of the program for the same user and program
// folder brings the running one's window up and ends without reading or writing any setting;
// the first loads and shows the main window and runs until Exit.
#pragma once

class QApplication;

namespace app {

class frmStart {
 public:
  // The process's exit code.
  static int Run(QApplication& application);
};

}  // namespace app
