// A picture of the control in its host over the fixture catalog, for a person to look at:
// written only when XENDORA_SCREENSHOT names the file (run under Xvfb for a real display).
#include <QHeaderView>
#include <QPixmap>

#include "test_support.h"

namespace brevixtest {
namespace {

TEST(Screenshot, ControlInItsHost) {
  const char* out = getenv("XENDORA_SCREENSHOT");
  if (!out) GTEST_SKIP() << "XENDORA_SCREENSHOT is not set";
  TempDir dir;
  const std::u16string catalog = dir.File16("fixture.dkc");
  BuildFixture(catalog);
  Host h(catalog);
  h.frame.setWindowTitle("Xendora - fixture.dkc");
  h.frame.resize(1000, 420);
  h.widget->resize(1000, 420);
  h.ctl->SetSelectedItem(Bstr(u"Floppy1").Get(), 0);
  h.list->header()->resizeSection(0, 380);  // as a user widens the Name column
  h.tree->expandAll();
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  ASSERT_TRUE(h.frame.grab().save(out));
}

}  // namespace
}  // namespace brevixtest
