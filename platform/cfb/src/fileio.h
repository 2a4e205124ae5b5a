// The file underneath a compound file: whole reads and writes, open file description locks,
// status values for system errors, and the journal that makes a release atomic.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "wintypes.h"

namespace cfb {

// Failures travel inside the layer as exceptions and leave it as status values.
struct Failure {
  HRESULT hr;
};
[[noreturn]] void Throw(HRESULT hr);
[[noreturn]] void Corrupt();  // STG_E_DOCFILECORRUPT

HRESULT ErrnoStatus(int err);

std::uint32_t Crc32(const void* data, std::size_t n, std::uint32_t crc = 0);

// Reads exactly n bytes at off; bytes past the end of the file read as zeros. Returns the
// count that came from the file.
std::size_t ReadAt(int fd, std::uint64_t off, void* buf, std::size_t n);
void WriteAt(int fd, std::uint64_t off, const void* buf, std::size_t n);
// Writes the pieces one after another from off, in as few calls as it can.
struct Piece {
  const void* data;
  std::size_t size;
};
void WriteRun(int fd, std::uint64_t off, const std::vector<Piece>& pieces);

// Makes the entries of the folder holding path durable (a name linked, renamed or created
// there); false when the folder could not be synced.
bool SyncFolderOf(const std::string& path);

// An exclusive lock on the whole file, held by this open file description: it holds against
// every other open of the file, in this process too. A descriptor open for reading only
// takes a shared lock (it cannot take more), which still keeps every writer out.
bool LockWhole(int fd, bool exclusive);

// The undo journal of an in-place release, "<file>-journal": the original bytes of every
// range of the file about to be overwritten, and the file's former length. A journal present
// at open means a release did not finish: its ranges are written back and the file is cut
// to its former length, which gives back the state before that release.
//
// The journal names its file by content, not by device and inode (those change when a disk
// comes back as another device, and when the pair is copied elsewhere): it holds the file's
// header sector as it was before the release and, once the release is about to write it, the
// header sector after. A journal is replayed only over a file whose header is one of the two;
// any other journal is kept, with the file, and the open refused.
class Journal {
 public:
  explicit Journal(std::string path) : path_(std::move(path)) {}
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  bool active() const { return fd_ >= 0; }
  // Starts a journal for the file open as mainFd, whose length is oldLength. Throws when the
  // journal cannot be made: a release must not write in place without one.
  void Begin(int mainFd, std::uint64_t oldLength);
  // Saves the bytes [off, off+n) of the file, which are about to be overwritten.
  void Save(std::uint64_t off, const void* original, std::size_t n);
  // Records the header the release is about to write (kHeaderBytes bytes).
  void SaveHeaderAfter(const void* header);
  // Makes what was saved durable, before the file is overwritten where it was saved from: a
  // power cut in the middle of the overwrite must find the journal whole. The first sync of
  // a new journal also makes its name durable in its folder.
  void Sync();
  // The release is complete and durable: the journal goes, and its removal is made durable
  // in its folder (else a power cut could bring it back and undo the release at the next
  // open). False when that last sync failed.
  bool Finish();
  // The release failed half-way: writes the saved ranges back, cuts the file, and drops
  // the journal. Returns false when that failed too (the journal then stays for the next open).
  bool RollBack(int mainFd);

  // At open, with the lock held: replays or discards a journal left by a killed release.
  // A journal that belongs to neither state of the file is kept and the open refused
  // (STG_E_DOCFILECORRUPT).
  static HRESULT Recover(const std::string& path, int mainFd);

 private:
  std::string path_;
  int fd_ = -1;
  std::uint64_t end_ = 0;
  bool unsynced_ = false;    // saved since the last sync
  bool folderSynced_ = false;  // the journal's name is durable in its folder
};

// The system steps of making files and of a release, in the order they reach the system. A
// test may watch them, or make one fail as the system would: the hook is told each step just
// before it is taken, and an answer other than 0 is the error number the step then fails with.
enum class IoStep {
  AnonymousFile,  // an unnamed file made in a folder, linked in later
  JournalCreate,
  JournalSync,
  FolderSync,  // the entries of a folder made durable
  FileWrite,
  FileSync,
  JournalGone,
};
using IoHook = int (*)(IoStep);
void SetIoHook(IoHook hook);  // null: none
// 0 when the step may go ahead, else the error number it must fail with (also left in errno).
int CheckIo(IoStep step);

// An unnamed file in folder dir (O_TMPFILE), or -1 with errno.
int OpenAnonymousIn(const std::string& dir);

}  // namespace cfb
