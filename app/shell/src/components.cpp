// The component libraries the program ships, and their registration at start.
#include "components.h"

#include "programfolder.h"
#include "xcom/registry.h"

namespace app {

namespace {

// The classes the program and its windows create by ProgID, by the library that serves them.
constexpr const char* kCatalogClasses[] = {"Brevix.CompCtl", "Brevix.OFileGraber", "Brevix.OStorage"};
constexpr const char* kTemplateClasses[] = {"KYP.VemraKYP"};

constexpr xcom::ShippedServer kShipped[] = {
    {"libbrevix.so", kCatalogClasses},
    {"libkyp.so", kTemplateClasses},
};

}  // namespace

HRESULT RegisterShippedComponents(const std::filesystem::path& folder, std::string* error) {
  return xcom::RegisterMissingServers(folder, kShipped, error);
}

HRESULT RegisterShippedComponents(std::string* error) {
  return RegisterShippedComponents(platform::ExecutableFolder(), error);
}

}  // namespace app
