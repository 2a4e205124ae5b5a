// The item stream, the stored form of an item record: "I_T_E_M_" inside a disk or folder
// storage, or the whole content of a file stream.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogformat.h"
#include "itemrecord.h"
#include "wintypes.h"

namespace brevix {

// Fills a record in one step; what is not given is zero, null (the note) or empty (the type
// text), and the record version is 1.0.
ItemRecord MakeItemRecord(std::u16string name, CountedString note = std::nullopt, DWORD sizeHigh = 0, DWORD sizeLow = 0,
                          std::u16string typeText = {}, FILETIME timeA = {}, FILETIME timeB = {}, LONG kind = ItemFile,
                          double serial = 0.0, DWORD freeHigh = 0, DWORD freeLow = 0);

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
