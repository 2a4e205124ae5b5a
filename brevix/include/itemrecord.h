// The item record: the in-memory form of one disk, folder or file of the catalog, which the
// host fills and reads through the catalog's interfaces (AddFolder, AddItem, GetItemInfo,
// SetItemInfo) and the library's own classes pass by address.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "wintypes.h"

// What an item is. The catalog does not store it: it follows from where the element is.
enum ItemKind : LONG {
  ItemFile = 0,
  ItemFolder = 1,
  ItemDisk = 2,
};

struct ItemRecord {
  DWORD sizeHigh = 0;  // file length, folder total or disk capacity, in bytes
  DWORD sizeLow = 0;
  FILETIME timeA{};                    // last write (folder, file); catalogued or last updated (disk); UTC
  FILETIME timeB{};                    // creation (folder, file); added (disk); UTC
  std::u16string name;                 // the element's name; not part of the item stream
  std::optional<std::u16string> note;  // null distinct from empty
  std::u16string typeText;             // a disk's media type name; derived for folders and files
  LONG kind = ItemFile;                // set by the caller before a read
  double serial = 0.0;                 // disks only
  DWORD freeHigh = 0;                  // disks only
  DWORD freeLow = 0;
  double recordVersion = 1.0;

  std::uint64_t Size() const { return (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow; }
  std::uint64_t FreeSpace() const { return (static_cast<std::uint64_t>(freeHigh) << 32) | freeLow; }
  void SetSize(std::uint64_t v) {
    sizeHigh = static_cast<DWORD>(v >> 32);
    sizeLow = static_cast<DWORD>(v);
  }
  void SetFreeSpace(std::uint64_t v) {
    freeHigh = static_cast<DWORD>(v >> 32);
    freeLow = static_cast<DWORD>(v);
  }
};
