// libFuzzer entry: every input is a candidate template file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "templatewalk.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Objects a hostile file names are never created from a registry.
  setenv("XCOM_REGISTRY", "/nonexistent/xcom.reg", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kypfuzz::RunOne(data, size);
  return 0;
}
