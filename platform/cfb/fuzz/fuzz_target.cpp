// libFuzzer entry: every input is a candidate compound file.
#include <cstddef>
#include <cstdint>

#include "walk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  cfbfuzz::RunOne(data, size);
  return 0;
}
