// The application object the fonts and images need, for every test of this executable.
#include <QGuiApplication>

#include "testing_qt/test_support.h"

namespace {
[[maybe_unused]] auto* const environment = testing_qt::AddQtEnvironment<QGuiApplication>("surface_test");
}  // namespace
