// The application object the fonts and pictures of the page drawing need, for every test here.
#include <QGuiApplication>

#include "testing_qt/test_support.h"

namespace {
[[maybe_unused]] auto* const environment = testing_qt::AddQtEnvironment<QGuiApplication>("reports_test");
}  // namespace
