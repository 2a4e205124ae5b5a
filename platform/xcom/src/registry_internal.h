// The registry as the runtime itself reads it.
#pragma once

#include <string>
#include <string_view>

#include "xcom/registry.h"

namespace xcom::internal {

enum class RegistryRead { Found, Missing, Unreadable };

// The string value valueName ("" for the default value) of the key at path below root,
// components separated by "\".
RegistryRead ReadRegistryString(HKEY root, std::string_view path, std::string_view valueName, std::string* out);

}  // namespace xcom::internal
