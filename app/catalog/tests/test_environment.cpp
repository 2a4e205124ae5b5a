// Registers the offscreen application of the catalog tests.
#include "test_support.h"

namespace {
[[maybe_unused]] ::testing::Environment* const g_env =
    ::testing::AddGlobalTestEnvironment(new catalog_testing::QtEnvironment);
}
