// Node paths: components joined by "/", kept in UTF-16 from end to end.
#include "paths.h"

namespace kyp {

std::vector<std::u16string_view> SplitFolderPath(std::u16string_view path) {
  std::vector<std::u16string_view> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find(u'/', start);
    if (slash == std::u16string_view::npos) slash = path.size();
    if (slash > start) parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

NodePathParts SplitNodePath(std::u16string_view path) {
  std::size_t slash = path.rfind(u'/');
  if (slash == std::u16string_view::npos) return {std::u16string_view(), path};
  return {path.substr(0, slash), path.substr(slash + 1)};
}

std::u16string JoinNodePath(std::u16string_view parent, std::u16string_view name) {
  std::u16string full;
  full.reserve(parent.size() + 1 + name.size());
  if (!parent.empty()) {
    full.append(parent);
    full.push_back(u'/');
  }
  full.append(name);
  return full;
}

}  // namespace kyp
