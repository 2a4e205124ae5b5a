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

// Writes one input to a file of that name in a scratch folder of the process (removing what
// the last input there left) and returns its path; RemoveScratch removes it and its journal.
// For every fuzz target whose inputs are files.
std::string ScratchInput(const std::uint8_t* data, std::size_t size, const std::string& name);
void RemoveScratch(const std::string& path);

// Writes data to a scratch file and walks it both ways. Never fails; must not crash or hang.
void RunOne(const std::uint8_t* data, std::size_t size);

}  // namespace cfbfuzz
