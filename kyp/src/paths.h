// Node paths: components joined by "/", kept in UTF-16 from end to end so that no name is
// narrowed or cut to a fixed buffer on the way to the compound file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kyp {

// The folder names of an absolute node path, in order. Empty components (a leading,
// trailing or doubled "/") name no folder and are skipped.
std::vector<std::u16string_view> SplitFolderPath(std::u16string_view path);

// A node path cut at its last "/": the parent path before it and the node's name after it.
// A path without "/" is a name alone, with an empty parent.
struct NodePathParts {
  std::u16string_view parent;
  std::u16string_view name;
};
NodePathParts SplitNodePath(std::u16string_view path);

// The full path of a child called `name` under `parent` (the name alone under the root).
std::u16string JoinNodePath(std::u16string_view parent, std::u16string_view name);

}  // namespace kyp
