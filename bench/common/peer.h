// Timing for the benchmarks: peers run as their own processes (no shell), best-of-three timing, the
// process's resident memory, and the run's scratch folder.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;
inline double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Runs `argv` (argv[0] looked up in PATH) as a child process with its standard output sent to
// `stdoutPath` ("/dev/null" to drop it) and waits for it; the seconds from spawn to exit. Exits the
// process with a message when the program cannot be started or fails (an exit status above
// `okStatus`).
double RunPeer(const std::vector<std::string>& argv, const std::string& stdoutPath, int okStatus = 0);

// Whether a program is found in PATH.
bool HavePeer(const std::string& program);

// Resident memory: the peak since the last ResetPeakRss (VmHWM), and the current (VmRSS), in MB.
// ResetPeakRss makes the peak the current resident size (Linux clear_refs).
void ResetPeakRss();
double PeakRssMb();
double CurrentRssMb();

// Exits with a message when `ok` is false.
void Check(bool ok, const std::string& what);

// A fresh folder "<prefix>-XXXXXX" under the temporary folder, for one run; exits with a message
// when it cannot be made.
std::filesystem::path MakeScratchFolder(const std::string& prefix);

}  // namespace bench
