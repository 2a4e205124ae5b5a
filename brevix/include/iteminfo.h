// What the catalog library hands its host about items: the item information array and the
// per-item callbacks of a catalog walk.
#pragma once

#include "itemrecord.h"
#include "wintypes.h"
#include "xcom/automation.h"

// The item information array (GetSelectedItem, GetItemInfo, TreeNodeChanged, AddNewDisk and
// UpdateDisk): a VT_ARRAY | VT_VARIANT holding 8 variants, lower bound 0. The kind is not in
// it; readers tell it from the type text.
enum ItemInfoIndex : LONG {
  ITEMINFO_SIZE = 0,      // VT_CY whose 64-bit integer is the size in bytes
  ITEMINFO_TIME_A = 1,    // VT_DATE, local: last write; for a disk when added or last updated
  ITEMINFO_TIME_B = 2,    // VT_DATE, local: creation; for a disk when added
  ITEMINFO_SERIAL = 3,    // VT_R8, the disk serial number
  ITEMINFO_FREE = 4,      // VT_CY as ITEMINFO_SIZE, the free space (disks)
  ITEMINFO_NAME = 5,      // VT_BSTR, the item name or catalog path
  ITEMINFO_TYPE = 6,      // VT_BSTR: "File Folder", "File", "<EXT> File" or a media type name
  ITEMINFO_NOTE = 7,      // VT_BSTR, the note
  ITEMINFO_COUNT = 8,
};

// The host's per-item callback of a catalog walk (FindItem, the scanner's
// DisplayDirectoryFiles), passed as a token of kind xcom::TokenKind::ItemCallback issued for a
// function of this type:
//   path    the hit's path, components joined by "\" (files on the starting level as "\name")
//   serial  serial number of the disk the hit belongs to (-1.0 when none)
//   note    the item's note (may be null)
//   sizeKB  (size + 1023) / 1024; for a disk its free space; at most 2147483647
//   timeA   the item's time A as a local date
//   kind    "FOLDER", "FILE" or the disk's media type name
// The strings belong to the caller of the callback and are valid during the call only. A
// non-zero answer ends the current level of a FindItem walk (the walk goes on with the level
// above); DisplayDirectoryFiles ignores it.
using ItemCallbackFn = LONG(BSTR path, double serial, BSTR note, LONG sizeKB, DATE timeA, BSTR kind);

// The library's own per-record callback of a FindItem walk, passed as the negated token of
// kind xcom::TokenKind::ItemRecordCallback issued for a function of this type: the path of the
// folder that holds the hit, the hit's record (valid during the call only) and the number of
// hits before this one. Its answer is ignored.
using ItemRecordCallbackFn = LONG(BSTR folderPath, ItemRecord* record, LONG hitCount);
