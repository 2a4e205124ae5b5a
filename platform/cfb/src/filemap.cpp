// Read-only maps of the files the layer holds open, and the guard for pages that cannot be read.
#include "filemap.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>

namespace cfb {
namespace {

// The maps the bus-error handler knows, in a fixed table it can read without locks. A map
// beyond the table is not made: its file is read through calls.
struct Region {
  std::atomic<std::uintptr_t> start{0};
  std::atomic<std::size_t> size{0};
  std::atomic<bool> faulted{false};
};
constexpr int kRegions = 256;
Region regions[kRegions];

std::once_flag installOnce;
struct sigaction previous {};

void OnBusError(int sig, siginfo_t* info, void* context) {
  const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (Region& r : regions) {
    std::uintptr_t start = r.start.load(std::memory_order_acquire);
    if (start == 0 || at < start || at - start >= r.size.load(std::memory_order_acquire)) continue;
    // A page of ours that cannot be read: zeros in its place, and the map knows.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    void* zero = ::mmap(reinterpret_cast<void*>(at & ~(page - 1)), page, PROT_READ,
                        MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (zero != MAP_FAILED) {
      r.faulted.store(true, std::memory_order_release);
      return;  // the read is made again, and gives zeros
    }
    break;
  }
  // Not ours: what was there before handles it.
  if (previous.sa_flags & SA_SIGINFO) {
    if (previous.sa_sigaction) {
      previous.sa_sigaction(sig, info, context);
      return;
    }
  } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
    previous.sa_handler(sig);
    return;
  }
  // The default action: returning makes the read again, which now ends the process.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(SIGBUS, &dfl, nullptr);
}

void Install() {
  struct sigaction sa {};
  sa.sa_sigaction = OnBusError;
  sa.sa_flags = SA_SIGINFO;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGBUS, &sa, &previous);
}

// The map of the file released last, kept for the next open of that same file: the catalog
// is opened and closed for every search, and building a map's page tables again costs more
// than a search reads from it. A map is a view of the file as it is now, so a kept one shows
// what was written since; one whose file has another length, or a page of which faulted,
// is not used again.
struct Kept {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  int slot = -1;
  dev_t dev = 0;
  ino_t ino = 0;
};
std::mutex keptLock;
Kept kept;

void Release(const std::uint8_t* data, std::size_t size, int slot) {
  regions[slot].size.store(0, std::memory_order_release);   // no longer ours to mend
  regions[slot].start.store(1, std::memory_order_release);  // but still taken
  ::munmap(const_cast<std::uint8_t*>(data), size);
  regions[slot].start.store(0, std::memory_order_release);
}

}  // namespace

bool FileMap::Map(int fd, std::size_t bytes) {
  Unmap();
  if (bytes == 0) return false;
  std::call_once(installOnce, Install);
  struct stat st {};
  const bool known = ::fstat(fd, &st) == 0;
  if (known) {
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    std::lock_guard<std::mutex> hold(keptLock);
    if (kept.data && kept.dev == st.st_dev && kept.ino == st.st_ino && kept.size == bytes &&
        !regions[kept.slot].faulted.load(std::memory_order_acquire)) {
      data_ = kept.data;
      size_ = kept.size;
      slot_ = kept.slot;
      keepable_ = true;
      kept = Kept{};
      return true;
    }
  }
  ForgetKept();  // another file is being read: the map kept is of no more use
  int slot = -1;
  for (int i = 0; i < kRegions && slot < 0; ++i) {
    std::uintptr_t expected = 0;
    // A slot is taken with a placeholder start until the map exists.
    if (regions[i].start.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) slot = i;
  }
  if (slot < 0) return false;
  // The map is made through a description of its own, which holds no lock: a map keeps its
  // description alive, and with it any lock on it, after the file is closed. Where there is
  // none to be had the file's own is mapped, and the map is not kept past the file.
  int own = known ? ::open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_RDONLY | O_CLOEXEC) : -1;
  struct stat same {};
  if (own >= 0 && (::fstat(own, &same) != 0 || same.st_dev != st.st_dev || same.st_ino != st.st_ino)) {
    ::close(own);
    own = -1;
  }
  void* m = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED, own >= 0 ? own : fd, 0);
  if (own >= 0) ::close(own);
  keepable_ = own >= 0;
  if (m == MAP_FAILED) {
    regions[slot].start.store(0, std::memory_order_release);
    return false;
  }
  regions[slot].faulted.store(false, std::memory_order_relaxed);
  regions[slot].size.store(bytes, std::memory_order_release);
  regions[slot].start.store(reinterpret_cast<std::uintptr_t>(m), std::memory_order_release);
  data_ = static_cast<const std::uint8_t*>(m);
  size_ = bytes;
  slot_ = slot;
  return true;
}

void FileMap::Unmap() {
  if (!data_) return;
  Kept drop{data_, size_, slot_, dev_, ino_};
  if (keepable_ && !Faulted()) {
    std::lock_guard<std::mutex> hold(keptLock);
    std::swap(drop, kept);
  }
  if (drop.data) Release(drop.data, drop.size, drop.slot);
  data_ = nullptr;
  size_ = 0;
  slot_ = -1;
}

void FileMap::ForgetKept() {
  Kept drop;
  {
    std::lock_guard<std::mutex> hold(keptLock);
    std::swap(drop, kept);
  }
  if (drop.data) Release(drop.data, drop.size, drop.slot);
}

bool FileMap::Faulted() const { return slot_ >= 0 && regions[slot_].faulted.load(std::memory_order_acquire); }

}  // namespace cfb
