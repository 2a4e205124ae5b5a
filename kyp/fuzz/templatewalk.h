// Drives the template store over one file as a hostile template would be used: opens it,
// loads every item definition with its fields and every node with its values. Used by the
// fuzz target and by the tests that run its corpus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kypfuzz {

// Walks the template at path. Never fails; must not crash or hang.
void Walk(const std::string& path);

// Writes data to a scratch file and walks it.
void RunOne(const std::uint8_t* data, std::size_t size);

}  // namespace kypfuzz
