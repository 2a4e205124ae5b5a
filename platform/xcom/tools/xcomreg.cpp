// xcomreg: registers or unregisters component libraries in the component registry, as the
// system's registration tool did.
//   xcomreg [/u] [/s] library...
//     /u  unregister (DllUnregisterServer) instead of register (DllRegisterServer)
//     /s  silent: no message on success
// The registry is the one the runtime uses: $XCOM_REGISTRY, else "xcom.reg" in the program
// folder. Exit status: 0 done, 1 bad arguments, 3 a library did not load, 4 it lacks the entry
// point, 5 the entry point failed.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "xcom/com.h"
#include "xcom/registry.h"

int main(int argc, char** argv) {
  bool unregister = false;
  bool silent = false;
  std::vector<std::string> libraries;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a == "/u" || a == "-u" || a == "/U") {
      unregister = true;
    } else if (a == "/s" || a == "-s" || a == "/S") {
      silent = true;
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "xcomreg: unknown option %s\n", argv[i]);
      return 1;
    } else {
      libraries.emplace_back(a);
    }
  }
  if (libraries.empty()) {
    std::fprintf(stderr, "usage: xcomreg [/u] [/s] library...\n");
    return 1;
  }
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  for (const std::string& lib : libraries) {
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(lib, ec);
    std::string path = ec ? lib : abs.string();
    std::string error;
    HRESULT hr = unregister ? xcom::UnregisterServerLibrary(path, &error) : xcom::RegisterServerLibrary(path, &error);
    if (hr == CO_E_DLLNOTFOUND) {
      std::fprintf(stderr, "xcomreg: the library \"%s\" could not be loaded: %s\n", lib.c_str(), error.c_str());
      return 3;
    }
    if (hr == CO_E_ERRORINDLL) {
      std::fprintf(stderr, "xcomreg: \"%s\" was loaded, but the entry point %s was not found.\n", lib.c_str(), entry);
      return 4;
    }
    if (FAILED(hr)) {
      std::fprintf(stderr, "xcomreg: %s in \"%s\" failed. Return code was: 0x%08X\n", entry, lib.c_str(),
                   static_cast<unsigned>(hr));
      return 5;
    }
    if (!silent) {
      std::printf("%s in \"%s\" succeeded (registry %s).\n", entry, lib.c_str(), xcom::RegistryFile().c_str());
    }
  }
  return 0;
}
