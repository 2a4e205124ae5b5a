// The component libraries the program ships beside its executable, registered at start into
// the component registry in use when it lacks their classes.
#pragma once

#include <filesystem>
#include <string>

#include "wintypes.h"

namespace app {

// Registers the catalog library and the template library found in `folder` (the executable's
// own by default) into the component registry in use ("xcom.reg" in the program folder, or
// $XCOM_REGISTRY), each only when the registry cannot create its classes. S_OK when they are
// there; else the first failure, with the reason in *error (may be null).
HRESULT RegisterShippedComponents(const std::filesystem::path& folder, std::string* error = nullptr);
HRESULT RegisterShippedComponents(std::string* error = nullptr);

}  // namespace app
