// The structured-storage calls the catalog document makes, in the access modes of the catalog
// file format, over byte buffers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cfb.h"
#include "wintypes.h"
#include "xcom/com.h"

namespace brevix {

using xcom::ComPtr;

inline constexpr DWORD kModeOpenFile = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;                   // 0x12
inline constexpr DWORD kModeCreateStorage = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;  // 0x1012
inline constexpr DWORD kModeCreateStream = STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE;       // 0x1011
// The same, failing with STG_E_FILEALREADYEXISTS where the name is taken.
inline constexpr DWORD kModeNewStorage = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;  // 0x12
inline constexpr DWORD kModeNewStream = STGM_WRITE | STGM_SHARE_EXCLUSIVE;      // 0x11
inline constexpr DWORD kModeRead = STGM_READ | STGM_SHARE_EXCLUSIVE;                              // 0x10
inline constexpr DWORD kModeWrite = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;                        // 0x12

// The element calls over a name held as a string (a name holding a NUL is refused with
// STG_E_INVALIDNAME; see namedcalls.h).
HRESULT OpenStreamIn(IStorage* parent, const std::u16string& name, DWORD mode, ComPtr<IStream>& out);
HRESULT OpenStorageIn(IStorage* parent, const std::u16string& name, DWORD mode, ComPtr<IStorage>& out);
HRESULT CreateStreamIn(IStorage* parent, const std::u16string& name, DWORD mode, ComPtr<IStream>& out);
HRESULT CreateStorageIn(IStorage* parent, const std::u16string& name, DWORD mode, ComPtr<IStorage>& out);

// Whether an element of that name (as the container compares names) exists, and its stored
// name and type. STG_E_FILENOTFOUND when there is none; STG_E_ACCESSDENIED when it exists
// but is open (its name is then not known).
HRESULT ProbeElement(IStorage* parent, const std::u16string& name, std::u16string* storedName, DWORD* type);

// The name an open element was stored under.
HRESULT StoredName(IStream* s, std::u16string& name);
HRESULT StoredName(IStorage* s, std::u16string& name);

// The whole content of a stream; E_FAIL beyond a size no catalog stream reaches.
HRESULT ReadWholeStream(IStream* s, std::vector<BYTE>& out);
// The size from which ReadWholeStream gives E_FAIL: the first total of its growing reads
// that reaches the limit.
std::uint64_t WholeStreamRefusedFrom();
// Writes bytes from the stream's position and, with truncate, cuts the stream after them.
HRESULT WriteWholeStream(IStream* s, const std::vector<BYTE>& bytes, bool truncate);

// Creates (or replaces) the stream `name` in `parent` with these bytes as its content.
HRESULT WriteNewStream(IStorage* parent, const std::u16string& name, const std::vector<BYTE>& bytes);

struct ChildElement {
  std::u16string name;
  DWORD type = 0;  // STGTY_STORAGE or STGTY_STREAM
};
// Every element of a storage, reserved names included, as the enumerator gives them.
HRESULT ListChildren(IStorage* stg, std::vector<ChildElement>& out);

}  // namespace brevix
