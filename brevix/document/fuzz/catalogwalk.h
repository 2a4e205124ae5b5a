// Drives the catalog document over one file as a hostile catalog would be used: opens it,
// walks every level, reads every record and searches it. Used by the fuzz target and by the
// tests that run its corpus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace brevixfuzz {

// Walks the catalog at path (a file the walk may change). Never fails; must not crash or hang.
void Walk(const std::string& path);

// Writes data to a scratch file and walks it.
void RunOne(const std::uint8_t* data, std::size_t size);

}  // namespace brevixfuzz
