// The element calls of IStorage for a name held as a string, which may hold a NUL: the
// container takes names NUL-terminated and would see only the part before one, so such a
// name is refused (STG_E_INVALIDNAME) before it reaches the container. Every library that
// opens or creates elements by names from its own model goes through these.
#pragma once

#include <string_view>

#include "cfb.h"

namespace cfb {

// True when the container sees all of the name (it holds no NUL).
bool IsWholeName(std::u16string_view name);

// IStorage::OpenStream, OpenStorage, CreateStream and CreateStorage with the reserved
// arguments zero; *out is null unless the call succeeds.
HRESULT OpenStreamNamed(IStorage* parent, std::u16string_view name, DWORD mode, IStream** out);
HRESULT OpenStorageNamed(IStorage* parent, std::u16string_view name, DWORD mode, IStorage** out);
HRESULT CreateStreamNamed(IStorage* parent, std::u16string_view name, DWORD mode, IStream** out);
HRESULT CreateStorageNamed(IStorage* parent, std::u16string_view name, DWORD mode, IStorage** out);

}  // namespace cfb
