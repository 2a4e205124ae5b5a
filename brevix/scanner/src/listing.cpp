// The listing of a real drive's folders to a caller's item callback (ListDirectory).
#include <algorithm>
#include <memory>
#include <vector>

#include "catalogdate.h"
#include "itemmatch.h"
#include "namefold.h"
#include "scanner_impl.h"

namespace brevix {
namespace {

using xcom::Bstr;

struct Listed {
  volumes::DirEntry entry;
  std::u16string folded;  // the upper-cased name, the sort key
  size_t order = 0;       // place in the file system's order
};

struct ListLevel {
  volumes::Folder folder;
  std::vector<Listed> entries;
  size_t next = 0;
  std::u16string path;  // ends without a "\" unless it is a drive root
};

// Folders before files; then by name ignoring case; of two equal names the one listed later
// goes first.
bool ListedBefore(const Listed& a, const Listed& b) {
  if (a.entry.directory != b.entry.directory) return a.entry.directory;
  if (int c = a.folded.compare(b.folded); c != 0) return c < 0;
  return a.order > b.order;
}

std::unique_ptr<ListLevel> OpenLevel(volumes::Folder folder, std::u16string path) {
  auto level = std::make_unique<ListLevel>();
  level->folder = std::move(folder);
  level->path = std::move(path);
  volumes::DirEntry e;
  while (level->folder.Next(e)) {
    Listed l;
    l.folded = Folded(e.name);
    l.entry = std::move(e);
    l.order = level->entries.size();
    level->entries.push_back(std::move(l));
  }
  std::sort(level->entries.begin(), level->entries.end(), ListedBefore);
  return level;
}

std::u16string ChildPath(const std::u16string& folder, const std::u16string& name) {
  std::u16string p = folder;
  if (p.empty() || p.back() != u'\\') p += u'\\';
  p += name;
  return p;
}

}  // namespace

void ListTree(volumes::Folder top, std::u16string path, SHORT srchType, ItemCallbackFn* callback) {
  const Bstr folderKind(u"FOLDER");
  const Bstr fileKind(u"FILE");
  std::vector<std::unique_ptr<ListLevel>> stack;
  stack.push_back(OpenLevel(std::move(top), std::move(path)));
  while (!stack.empty()) {
    ListLevel& level = *stack.back();
    if (level.next == level.entries.size()) {
      stack.pop_back();
      continue;
    }
    const volumes::DirEntry& e = level.entries[level.next++].entry;
    if (!e.directory && srchType == 1) continue;
    std::u16string childPath = ChildPath(level.path, e.name);
    Bstr shownPath(childPath);
    const DATE date = FileTimeToDate(e.lastWriteTime).value_or(0.0);
    // The answer is ignored: a listing runs to its end.
    (void)callback(shownPath.Get(), -1.0, nullptr, SizeInKB32(e.size), date,
                   e.directory ? folderKind.Get() : fileKind.Get());
    if (e.directory && srchType != 2) {
      // A folder that cannot be opened lists as empty.
      stack.push_back(OpenLevel(level.folder.OpenSubfolder(e.name), std::move(childPath)));
    }
  }
}

}  // namespace brevix
