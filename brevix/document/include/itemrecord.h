// The item record: the in-memory form of one disk, folder or file of the catalog, passed by
// address between the library's own classes (the catalog document, the disk scanner and the
// browser control). Its stored form is the item stream: "I_T_E_M_" inside a disk or folder
// storage, or the whole content of a file stream.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogformat.h"
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
  FILETIME timeA{};  // last write (folder, file); catalogued or last updated (disk); UTC
  FILETIME timeB{};  // creation (folder, file); added (disk); UTC
  std::u16string name;      // the element's name; not part of the item stream
  brevix::CountedString note;  // null distinct from empty
  std::u16string typeText;  // a disk's media type name; derived for folders and files
  LONG kind = ItemFile;     // set by the caller before a read
  double serial = 0.0;      // disks only
  DWORD freeHigh = 0;       // disks only
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

namespace brevix {

// Fills a record in one step; what is not given is zero, null (the note) or empty (the type
// text), and the record version is 1.0.
ItemRecord MakeItemRecord(std::u16string name, CountedString note = std::nullopt, DWORD sizeHigh = 0,
                          DWORD sizeLow = 0, std::u16string typeText = {}, FILETIME timeA = {},
                          FILETIME timeB = {}, LONG kind = ItemFile, double serial = 0.0,
                          DWORD freeHigh = 0, DWORD freeLow = 0);

// The item stream of a record: 32 bytes and the note for a folder or file; 48 bytes, the type
// text and the note for a disk.
std::vector<BYTE> EncodeItemRecord(const ItemRecord& r);
// Reads an item stream into `r` as a record of `r.kind` (the disk-only fields for disks
// alone). E_FAIL when the stream ends early or a count is not plausible; `r` is then untouched.
// Bytes after the record are ignored.
HRESULT DecodeItemRecord(const BYTE* data, size_t size, ItemRecord& r);

// The type text of a folder or file: "File Folder"; for a file the upper-cased text after the
// last "." followed by " File", or "File" when the name has no ".". Disks keep theirs.
void DeriveTypeText(ItemRecord& r);

}  // namespace brevix
