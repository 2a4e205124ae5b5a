// The names an item may be given by the user: what the add-disk dialog takes for a disk, and
// what a rename may give a disk, folder or file without cutting off what lies below it.
#pragma once

#include <cstddef>
#include <string_view>

// A catalog path joins names with "/", the program shows paths with "\" and a drive's root
// holds ":"; the add-disk dialog refuses all three in a disk's name.
inline constexpr std::u16string_view kDiskNameRefusedChars = u":\\/";
// The add-disk dialog's longest disk name.
inline constexpr std::size_t kMaxDiskNameLength = 31;
// The separators of the paths a folder or file name would be read back through.
inline constexpr std::u16string_view kPathSeparators = u"/\\";

// A name a disk may take: not empty, at most kMaxDiskNameLength characters, none refused.
inline bool IsAllowedDiskName(std::u16string_view name) {
  return !name.empty() && name.size() <= kMaxDiskNameLength &&
         name.find_first_of(kDiskNameRefusedChars) == std::u16string_view::npos;
}

// A name holding a path separator, which a catalog path could not name.
inline bool HoldsPathSeparator(std::u16string_view name) {
  return name.find_first_of(kPathSeparators) != std::u16string_view::npos;
}
