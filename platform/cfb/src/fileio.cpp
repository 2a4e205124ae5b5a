// The file underneath a compound file: whole reads and writes, locks, system statuses, the journal.
#include "fileio.h"

#include "layout.h"

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
  if (CheckIo(IoStep::FolderSync) != 0) return false;
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
IoHook g_hook = nullptr;
}  // namespace

void SetIoHook(IoHook hook) { g_hook = hook; }

int CheckIo(IoStep step) {
  if (!g_hook) return 0;
  int err = g_hook(step);
  if (err != 0) errno = err;
  return err;
}

int OpenAnonymousIn(const std::string& dir) {
  if (CheckIo(IoStep::AnonymousFile) != 0) return -1;
  return ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
}

namespace {

// The journal's head: magic, the file's former length, its header before the release, and a
// checksum of the three. Records follow, each a RecordHead and its bytes; the record at
// kHeaderAfterMark holds the header the release writes. Journals of the first format named
// their file by device and inode instead (magic, length, device, inode, reserved, checksum).
constexpr char kMagic[8] = {'C', 'F', 'B', 'J', 'R', 'N', 'L', '2'};
constexpr char kMagicByIdentity[8] = {'C', 'F', 'B', 'J', 'R', 'N', 'L', '1'};
constexpr std::size_t kLengthAt = 8;
constexpr std::size_t kBeforeAt = 16;
constexpr std::size_t kHeadCrcAt = kBeforeAt + kHeaderBytes;
constexpr std::size_t kHeadSize = kHeadCrcAt + 4;
constexpr std::size_t kIdentityHeadSize = 48;
constexpr std::uint64_t kHeaderAfterMark = ~std::uint64_t{0};
constexpr std::uint32_t kMaxRecord = 1u << 20;

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

}  // namespace

Journal::~Journal() {
  if (fd_ >= 0) ::close(fd_);
}

void Journal::Begin(int mainFd, std::uint64_t oldLength) {
  std::uint8_t head[kHeadSize] = {};
  std::memcpy(head, kMagic, 8);
  Put64(head + kLengthAt, oldLength);
  ReadAt(mainFd, 0, head + kBeforeAt, kHeaderBytes);
  std::uint32_t crc = Crc32(head, kHeadCrcAt);
  std::memcpy(head + kHeadCrcAt, &crc, 4);
  if (CheckIo(IoStep::JournalCreate) != 0) Throw(ErrnoStatus(errno));
  int fd = ::open(path_.c_str(), O_CREAT | O_TRUNC | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) Throw(ErrnoStatus(errno));
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
    std::size_t chunk = n < kMaxRecord ? n : kMaxRecord;
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

void Journal::SaveHeaderAfter(const void* header) {
  RecordHead h{kHeaderAfterMark, kHeaderBytes, 0};
  h.crc = RecordCrc(h, header);
  WriteRun(fd_, end_, {{&h, sizeof h}, {header, kHeaderBytes}});
  end_ += sizeof h + kHeaderBytes;
  unsynced_ = true;
}

void Journal::Sync() {
  if (fd_ < 0 || !unsynced_) return;
  if (CheckIo(IoStep::JournalSync) != 0 || ::fdatasync(fd_) != 0) Throw(ErrnoStatus(errno));
  if (!folderSynced_) {
    if (!SyncFolderOf(path_)) Throw(ErrnoStatus(errno));
    folderSynced_ = true;
  }
  unsynced_ = false;
}

bool Journal::Finish() {
  if (fd_ < 0) return true;
  ::close(fd_);
  fd_ = -1;
  CheckIo(IoStep::JournalGone);
  ::unlink(path_.c_str());
  return SyncFolderOf(path_);
}

namespace {

enum class Replayed { Done, NotBegun, Foreign, Failed };

// Whether the journal open as jfd belongs to the file open as mainFd, and where its records
// end: the file's header must be the one before the release or the one the release wrote.
// A journal whose head is not whole never began: the file was not touched.
Replayed Belongs(int jfd, int mainFd, std::uint64_t jsize, bool checkIdentity, std::uint64_t* oldLength,
                 std::uint64_t* recordsAt) {
  std::uint8_t head[kHeadSize];
  std::size_t got = ReadAt(jfd, 0, head, kHeadSize);
  std::uint8_t now[kHeaderBytes];
  ReadAt(mainFd, 0, now, kHeaderBytes);
  if (got >= kIdentityHeadSize && std::memcmp(head, kMagicByIdentity, 8) == 0) {
    std::uint32_t crc;
    std::memcpy(&crc, head + 40, 4);
    if (Crc32(head, 40) != crc) return Replayed::NotBegun;
    *oldLength = Get64(head + 8);
    *recordsAt = kIdentityHeadSize;
    struct stat st {};
    if (::fstat(mainFd, &st) != 0) return Replayed::Failed;
    bool same = Get64(head + 16) == static_cast<std::uint64_t>(st.st_dev) &&
                Get64(head + 24) == static_cast<std::uint64_t>(st.st_ino);
    return !checkIdentity || same ? Replayed::Done : Replayed::Foreign;
  }
  if (got < kHeadSize || std::memcmp(head, kMagic, 8) != 0) return Replayed::NotBegun;
  std::uint32_t crc;
  std::memcpy(&crc, head + kHeadCrcAt, 4);
  if (Crc32(head, kHeadCrcAt) != crc) return Replayed::NotBegun;
  *oldLength = Get64(head + kLengthAt);
  *recordsAt = kHeadSize;
  // A release only ever lengthens its file: one shorter than it was is not this journal's.
  struct stat st {};
  if (::fstat(mainFd, &st) != 0) return Replayed::Failed;
  if (checkIdentity && static_cast<std::uint64_t>(st.st_size) < *oldLength) return Replayed::Foreign;
  if (!checkIdentity || std::memcmp(now, head + kBeforeAt, kHeaderBytes) == 0) return Replayed::Done;
  // The header after is the journal's last record, once the release is about to write it.
  std::uint64_t at = kHeadSize;
  std::vector<std::uint8_t> buf;
  while (at + sizeof(RecordHead) <= jsize) {
    RecordHead h;
    ReadAt(jfd, at, &h, sizeof h);
    if (h.size > kMaxRecord || at + sizeof h + h.size > jsize) break;
    if (h.off == kHeaderAfterMark && h.size == kHeaderBytes) {
      buf.resize(h.size);
      ReadAt(jfd, at + sizeof h, buf.data(), h.size);
      if (RecordCrc(h, buf.data()) == h.crc && std::memcmp(now, buf.data(), kHeaderBytes) == 0) return Replayed::Done;
    }
    at += sizeof h + h.size;
  }
  return Replayed::Foreign;
}

// Writes back every whole record of the journal open as jfd and cuts the file.
Replayed Replay(int jfd, int mainFd, bool checkIdentity) {
  struct stat jst {};
  if (::fstat(jfd, &jst) != 0) return Replayed::Failed;
  std::uint64_t jsize = static_cast<std::uint64_t>(jst.st_size);
  std::uint64_t oldLength = 0, at = 0;
  Replayed belongs = Belongs(jfd, mainFd, jsize, checkIdentity, &oldLength, &at);
  if (belongs != Replayed::Done) return belongs;
  std::vector<std::uint8_t> buf;
  while (at + sizeof(RecordHead) <= jsize) {
    RecordHead h;
    ReadAt(jfd, at, &h, sizeof h);
    if (h.size > kMaxRecord || at + sizeof h + h.size > jsize) break;
    buf.resize(h.size);
    ReadAt(jfd, at + sizeof h, buf.data(), h.size);
    if (RecordCrc(h, buf.data()) != h.crc) break;
    if (h.off != kHeaderAfterMark) WriteAt(mainFd, h.off, buf.data(), h.size);
    at += sizeof h + h.size;
  }
  if (::ftruncate(mainFd, static_cast<off_t>(oldLength)) != 0) return Replayed::Failed;
  return ::fdatasync(mainFd) == 0 ? Replayed::Done : Replayed::Failed;
}

}  // namespace

bool Journal::RollBack(int mainFd) {
  if (fd_ < 0) return true;
  Replayed r = Replayed::Failed;
  try {
    r = Replay(fd_, mainFd, false);
  } catch (const Failure&) {
    r = Replayed::Failed;
  }
  if (r == Replayed::Failed) return false;
  return Finish();
}

HRESULT Journal::Recover(const std::string& path, int mainFd) {
  int jfd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (jfd < 0) return errno == ENOENT ? S_OK : ErrnoStatus(errno);
  Replayed r;
  try {
    r = Replay(jfd, mainFd, true);
  } catch (const Failure& f) {
    ::close(jfd);
    return f.hr;
  }
  ::close(jfd);
  // Another file's journal, or this file changed since by other means: either way, neither
  // state can be told from it. Both stay as they are for the user to look at.
  if (r == Replayed::Foreign) return STG_E_DOCFILECORRUPT;
  if (r == Replayed::Failed) return STG_E_WRITEFAULT;
  ::unlink(path.c_str());
  if (!SyncFolderOf(path)) return STG_E_WRITEFAULT;
  return S_OK;
}

}  // namespace cfb
