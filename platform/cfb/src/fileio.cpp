// The file underneath a compound file: whole reads and writes, locks, system statuses, the journal.
#include "fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace cfb {

void Throw(HRESULT hr) { throw Failure{hr}; }
void Corrupt() { throw Failure{STG_E_DOCFILECORRUPT}; }

HRESULT ErrnoStatus(int err) {
  switch (err) {
    case ENOENT: return STG_E_FILENOTFOUND;
    case ENOTDIR: return STG_E_PATHNOTFOUND;
    case EACCES: case EPERM: case EISDIR: case ETXTBSY: return STG_E_ACCESSDENIED;
    case EROFS: return STG_E_DISKISWRITEPROTECTED;
    case ENOSPC: case EDQUOT: case EFBIG: return STG_E_MEDIUMFULL;
    case ENOMEM: return E_OUTOFMEMORY;
    case EMFILE: case ENFILE: return STG_E_TOOMANYOPENFILES;
    case EAGAIN: return STG_E_LOCKVIOLATION;
    case ENAMETOOLONG: return STG_E_INVALIDNAME;
    case EIO: return STG_E_READFAULT;
    default: return E_FAIL;
  }
}

std::uint32_t Crc32(const void* data, std::size_t n, std::uint32_t crc) {
  static const auto table = [] {
    struct T { std::uint32_t v[256]; } t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t.v[i] = c;
    }
    return t;
  }();
  const auto* p = static_cast<const std::uint8_t*>(data);
  crc = ~crc;
  for (std::size_t i = 0; i < n; ++i) crc = table.v[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::size_t ReadAt(int fd, std::uint64_t off, void* buf, std::size_t n) {
  auto* p = static_cast<std::uint8_t*>(buf);
  std::size_t done = 0;
  while (done < n) {
    ssize_t r = ::pread(fd, p + done, n - done, static_cast<off_t>(off + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      Throw(errno == EIO ? STG_E_READFAULT : ErrnoStatus(errno));
    }
    if (r == 0) break;
    done += static_cast<std::size_t>(r);
  }
  if (done < n) std::memset(p + done, 0, n - done);
  return done;
}

void WriteAt(int fd, std::uint64_t off, const void* buf, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(buf);
  std::size_t done = 0;
  while (done < n) {
    ssize_t r = ::pwrite(fd, p + done, n - done, static_cast<off_t>(off + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      Throw(errno == EIO ? STG_E_WRITEFAULT : ErrnoStatus(errno));
    }
    done += static_cast<std::size_t>(r);
  }
}

void WriteRun(int fd, std::uint64_t off, const std::vector<Piece>& pieces) {
  std::size_t i = 0;
  while (i < pieces.size()) {
    iovec iov[IOV_MAX < 512 ? IOV_MAX : 512];
    int cnt = 0;
    std::size_t bytes = 0;
    for (; i < pieces.size() && cnt < static_cast<int>(sizeof iov / sizeof iov[0]); ++i, ++cnt) {
      iov[cnt].iov_base = const_cast<void*>(pieces[i].data);
      iov[cnt].iov_len = pieces[i].size;
      bytes += pieces[i].size;
    }
    ssize_t r;
    do r = ::pwritev(fd, iov, cnt, static_cast<off_t>(off));
    while (r < 0 && errno == EINTR);
    if (r < 0) Throw(errno == EIO ? STG_E_WRITEFAULT : ErrnoStatus(errno));
    if (static_cast<std::size_t>(r) < bytes) {
      // A short vector write: finish the rest piece by piece.
      std::size_t skip = static_cast<std::size_t>(r);
      std::uint64_t at = off + skip;
      for (int k = 0; k < cnt; ++k) {
        if (skip >= iov[k].iov_len) { skip -= iov[k].iov_len; continue; }
        WriteAt(fd, at, static_cast<const std::uint8_t*>(iov[k].iov_base) + skip, iov[k].iov_len - skip);
        at += iov[k].iov_len - skip;
        skip = 0;
      }
    }
    off += bytes;
  }
}

bool SyncFolderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool LockWhole(int fd, bool exclusive) {
  struct flock fl {};
  fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

namespace {

constexpr char kMagic[8] = {'C', 'F', 'B', 'J', 'R', 'N', 'L', '1'};
constexpr std::size_t kHeadSize = 48;  // magic, old length, device, inode, reserved, crc

struct RecordHead {
  std::uint64_t off;
  std::uint32_t size;
  std::uint32_t crc;  // of off, size and the data
};

std::uint32_t RecordCrc(const RecordHead& h, const void* data) {
  std::uint32_t c = Crc32(&h.off, sizeof h.off);
  c = Crc32(&h.size, sizeof h.size, c);
  return Crc32(data, h.size, c);
}

void Put64(std::uint8_t* p, std::uint64_t v) { std::memcpy(p, &v, 8); }
std::uint64_t Get64(const std::uint8_t* p) { std::uint64_t v; std::memcpy(&v, p, 8); return v; }

}  // namespace

Journal::~Journal() {
  if (fd_ >= 0) ::close(fd_);
}

void Journal::Begin(int mainFd, std::uint64_t oldLength) {
  struct stat st {};
  if (::fstat(mainFd, &st) != 0) Throw(ErrnoStatus(errno));
  int fd = ::open(path_.c_str(), O_CREAT | O_TRUNC | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) Throw(ErrnoStatus(errno));
  std::uint8_t head[kHeadSize] = {};
  std::memcpy(head, kMagic, 8);
  Put64(head + 8, oldLength);
  Put64(head + 16, static_cast<std::uint64_t>(st.st_dev));
  Put64(head + 24, static_cast<std::uint64_t>(st.st_ino));
  std::uint32_t crc = Crc32(head, 40);
  std::memcpy(head + 40, &crc, 4);
  try {
    WriteAt(fd, 0, head, kHeadSize);
  } catch (...) {
    ::close(fd);
    ::unlink(path_.c_str());
    throw;
  }
  fd_ = fd;
  end_ = kHeadSize;
  unsynced_ = true;
  folderSynced_ = false;
}

void Journal::Save(std::uint64_t off, const void* original, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(original);
  while (n > 0) {
    std::size_t chunk = n < (1u << 20) ? n : (1u << 20);
    RecordHead h{off, static_cast<std::uint32_t>(chunk), 0};
    h.crc = RecordCrc(h, p);
    WriteRun(fd_, end_, {{&h, sizeof h}, {p, chunk}});
    end_ += sizeof h + chunk;
    unsynced_ = true;
    off += chunk;
    p += chunk;
    n -= chunk;
  }
}

void Journal::Sync() {
  if (fd_ < 0 || !unsynced_) return;
  if (::fdatasync(fd_) != 0) Throw(ErrnoStatus(errno));
  TraceIo(IoStep::JournalSync);
  if (!folderSynced_) {
    if (!SyncFolderOf(path_)) Throw(ErrnoStatus(errno));
    TraceIo(IoStep::FolderSync);
    folderSynced_ = true;
  }
  unsynced_ = false;
}

void Journal::Finish() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  ::unlink(path_.c_str());
  TraceIo(IoStep::JournalGone);
}

namespace {
IoTrace g_trace = nullptr;
}  // namespace

void SetIoTrace(IoTrace trace) { g_trace = trace; }
void TraceIo(IoStep step) {
  if (g_trace) g_trace(step);
}

namespace {

// Writes back every whole record of the journal open as jfd and cuts the file.
bool Replay(int jfd, int mainFd, bool checkIdentity) {
  std::uint8_t head[kHeadSize];
  struct stat jst {};
  if (::fstat(jfd, &jst) != 0) return false;
  if (ReadAt(jfd, 0, head, kHeadSize) < kHeadSize) return true;  // never began: nothing was touched
  std::uint32_t crc;
  std::memcpy(&crc, head + 40, 4);
  if (std::memcmp(head, kMagic, 8) != 0 || Crc32(head, 40) != crc) return true;
  struct stat st {};
  if (::fstat(mainFd, &st) != 0) return false;
  if (checkIdentity && (Get64(head + 16) != static_cast<std::uint64_t>(st.st_dev) ||
                        Get64(head + 24) != static_cast<std::uint64_t>(st.st_ino)))
    return true;  // belongs to a file that is no longer at this path
  std::uint64_t oldLength = Get64(head + 8);
  std::uint64_t at = kHeadSize;
  std::uint64_t jsize = static_cast<std::uint64_t>(jst.st_size);
  std::vector<std::uint8_t> buf;
  while (at + sizeof(RecordHead) <= jsize) {
    RecordHead h;
    ReadAt(jfd, at, &h, sizeof h);
    if (h.size > (1u << 20) || at + sizeof h + h.size > jsize) break;
    buf.resize(h.size);
    ReadAt(jfd, at + sizeof h, buf.data(), h.size);
    if (RecordCrc(h, buf.data()) != h.crc) break;
    WriteAt(mainFd, h.off, buf.data(), h.size);
    at += sizeof h + h.size;
  }
  if (::ftruncate(mainFd, static_cast<off_t>(oldLength)) != 0) return false;
  return ::fdatasync(mainFd) == 0;
}

}  // namespace

bool Journal::RollBack(int mainFd) {
  if (fd_ < 0) return true;
  bool ok = false;
  try {
    ok = Replay(fd_, mainFd, false);
  } catch (const Failure&) {
    ok = false;
  }
  if (!ok) return false;
  Finish();
  return true;
}

HRESULT Journal::Recover(const std::string& path, int mainFd) {
  int jfd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (jfd < 0) return errno == ENOENT ? S_OK : ErrnoStatus(errno);
  bool ok;
  try {
    ok = Replay(jfd, mainFd, true);
  } catch (const Failure& f) {
    ::close(jfd);
    return f.hr;
  }
  ::close(jfd);
  if (!ok) return STG_E_WRITEFAULT;
  ::unlink(path.c_str());
  return S_OK;
}

}  // namespace cfb
