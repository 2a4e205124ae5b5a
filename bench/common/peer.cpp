// Peers as their own processes (posix_spawnp, no shell), resident memory from /proc, and the
// run's scratch folder.
#include "peer.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace bench {

void Check(bool ok, const std::string& what) {
  if (!ok) {
    std::fprintf(stderr, "%s failed\n", what.c_str());
    std::exit(1);
  }
}

std::filesystem::path MakeScratchFolder(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  return pattern;
}

double RunPeer(const std::vector<std::string>& argv, const std::string& stdoutPath, int okStatus) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  const auto a = Clock::now();
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    std::fprintf(stderr, "cannot start %s: %s\n", args[0], std::strerror(rc));
    std::exit(1);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  const double s = Seconds(a, Clock::now());
  if (!WIFEXITED(status) || WEXITSTATUS(status) > okStatus) {
    std::fprintf(stderr, "%s failed (status %d)\n", args[0], status);
    std::exit(1);
  }
  return s;
}

bool HavePeer(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
  }
  return false;
}

namespace {

double StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::size_t n = std::strlen(key);
  while (std::getline(in, line)) {
    if (line.compare(0, n, key) == 0) return std::atof(line.c_str() + n);
  }
  return 0;
}

}  // namespace

void ResetPeakRss() {
  std::ofstream out("/proc/self/clear_refs");
  out << "5";
}

double PeakRssMb() { return StatusKb("VmHWM:") / 1024.0; }
double CurrentRssMb() { return StatusKb("VmRSS:") / 1024.0; }

}  // namespace bench
