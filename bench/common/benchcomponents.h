// For benchmarks that drive the component libraries as the program does: the run's set-up (the
// release build's component registry, a program folder of its own), classes created by ProgID,
// and failed calls ending the run.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "peer.h"
#include "xcom/com.h"

namespace bench {

// Ends the run with a message when a call failed or, with kOnlyS_OK, answered anything but S_OK.
inline constexpr bool kOnlyS_OK = true;
inline void CheckHr(HRESULT hr, const char* what, bool onlyS_OK = false) {
  if (onlyS_OK ? hr != S_OK : FAILED(hr)) {
    std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
    std::exit(1);
  }
}

// Points the component runtime at the release build's registry (build/bin/xcom.reg, beside
// build/bench) unless XCOM_REGISTRY names one.
inline void UseBuildRegistry() {
  if (getenv("XCOM_REGISTRY")) return;
  const std::filesystem::path reg =
      std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin" / "xcom.reg";
  setenv("XCOM_REGISTRY", reg.c_str(), 1);
}

// The set-up of a run that drives the libraries and the windows as the program does: the
// offscreen platform unless QT_QPA_PLATFORM names another, the build's registry, and a fresh
// scratch folder "<name>-XXXXXX" as the program folder (XENDORA_HOME); the folder is returned.
inline std::filesystem::path StartProgramRun(const std::string& name) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  UseBuildRegistry();
  const std::filesystem::path dir = MakeScratchFolder(name);
  setenv("XENDORA_HOME", dir.c_str(), 1);
  return dir;
}

// An instance of the class registered under the ProgID, as interface T.
template <class T>
xcom::ComPtr<T> CreateByProgId(const char16_t* progId) {
  CLSID clsid{};
  CheckHr(CLSIDFromProgID(progId, &clsid), "CLSIDFromProgID");
  xcom::ComPtr<T> out;
  CheckHr(xcom::CreateInstance(clsid, &out), "CoCreateInstance");
  return out;
}

}  // namespace bench
