// Drives the layer over one file as a hostile input would be used: opens it for reading and
// walks everything, then opens it for writing, changes it, and walks it again. Used by the
// fuzz target and by the tests that run its saved corpus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "wintypes.h"

namespace cfbfuzz {

// Walks the file at path: the first failure status met, or S_OK.
HRESULT Walk(const std::string& path, bool change);

// Writes data to a scratch file and walks it both ways. Never fails; must not crash or hang.
void RunOne(const std::uint8_t* data, std::size_t size);

}  // namespace cfbfuzz
