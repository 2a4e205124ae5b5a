// Registers the offscreen application of the catalog tests, which read and write times in UTC.
#include <stdlib.h>

#include <QApplication>

#include "testing_qt/test_support.h"

namespace {
[[maybe_unused]] auto* const environment = [] {
  setenv("TZ", "UTC", 1);
  return testing_qt::AddQtEnvironment<QApplication>("catalog_tests");
}();
}  // namespace
