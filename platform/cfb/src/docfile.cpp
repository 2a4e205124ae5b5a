// The engine of one open compound file: opening (header, FAT and DIFAT locations), the dirty
// budget, and writing out through the journal at the release.
#include "docfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace cfb {
namespace {

std::size_t dirtyBudget = 128u << 20;

// The three sectors of an empty version 3 file: header, FAT, directory.
void BuildEmpty(std::uint8_t* header, std::uint8_t* fat, std::uint8_t* dir) {
  std::memset(header, 0, kHeaderBytes);
  std::memcpy(header, kSignature, 8);
  Put16(header + kHMinorVersion, kMinorVersion);
  Put16(header + kHMajorVersion, 3);
  Put16(header + kHByteOrder, kByteOrderMark);
  Put16(header + kHSectorShift, 9);
  Put16(header + kHMiniSectorShift, kMiniSectorShift);
  Put32(header + kHNumFat, 1);
  Put32(header + kHFirstDir, 1);
  Put32(header + kHMiniCutoff, kMiniCutoff);
  Put32(header + kHFirstMiniFat, ENDOFCHAIN);
  Put32(header + kHFirstDifat, ENDOFCHAIN);
  for (int k = 0; k < kHeaderDifat; ++k) Put32(header + kHDifat + 4 * k, FREESECT);
  Put32(header + kHDifat, 0);
  std::memset(fat, 0xFF, 512);
  Put32(fat, FATSECT);
  Put32(fat + 4, ENDOFCHAIN);
  for (int i = 0; i < 4; ++i) InitEmptyEntry(dir + i * kEntrySize);
  WriteName(dir, u"Root Entry");
  dir[kEType] = kTypeRoot;
  dir[kEColour] = kBlack;
  Put32(dir + kEStart, ENDOFCHAIN);
}

}  // namespace

// ---- Opening ---------------------------------------------------------------------------------

Docfile::~Docfile() {
  if (!closed_) {
    try {
      Close();
    } catch (...) {
    }
  }
}

std::vector<std::uint8_t> Docfile::EmptyFileImage() {
  std::vector<std::uint8_t> img(1536);
  BuildEmpty(img.data(), img.data() + 512, img.data() + 1024);
  return img;
}

// On failure the descriptors stay with the caller.
std::shared_ptr<Docfile> Docfile::Open(int fd, std::string journalPath, bool writable) {
  std::shared_ptr<Docfile> d(new Docfile);
  d->closed_ = true;
  d->fd_ = fd;
  d->writable_ = writable;
  d->journal_ = std::make_unique<Journal>(std::move(journalPath));
  try {
    d->LoadHeader();
  } catch (const Failure&) {
    if (d->ReadFaulted()) Throw(STG_E_READFAULT);
    throw;
  }
  if (d->ReadFaulted()) Throw(STG_E_READFAULT);
  d->closed_ = false;
  return d;
}

std::shared_ptr<Docfile> Docfile::NewReplacing(int dataFd, int lockFd, std::string finalPath,
                                               std::string journalPath, std::string tempName) {
  std::shared_ptr<Docfile> d(new Docfile);
  d->closed_ = true;
  d->fd_ = dataFd;
  d->mode_ = Mode::Replace;
  d->finalPath_ = std::move(finalPath);
  d->writable_ = true;
  d->journal_ = std::make_unique<Journal>(std::move(journalPath));
  d->InitEmpty();
  d->lockFd_ = lockFd;
  d->tempName_ = std::move(tempName);
  d->closed_ = false;
  return d;
}

void Docfile::InitEmpty() {
  version_ = 3;
  sectorSize_ = 512;
  perSector_ = 128;
  fatShift_ = 7;
  entriesPerSector_ = 4;
  entryShift_ = 2;
  cache_.Init(fd_, sectorSize_, 0);
  std::uint8_t* fat = cache_.Fresh(Sector{0});
  std::uint8_t* dir = cache_.Fresh(Sector{1});
  BuildEmpty(header_, fat, dir);
  sectorCount_ = 2;
  fatLocs_ = {Sector{0}};
  dirChain_.Reset(Sector{1});
  dirChain_.secs = {Sector{1}};
  dirChain_.complete = true;
  miniFatChain_.Reset();
  miniChain_.Reset();
  freeEntries_.items = {EntryId{3}, EntryId{2}, EntryId{1}};
  freeSectors_.bounded = freeMini_.bounded = freeEntries_.bounded = true;  // nothing to scan
  oldLength_ = 0;
}

void Docfile::LoadHeader() {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) Throw(ErrnoStatus(errno));
  std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  oldLength_ = size;
  if (size < kHeaderBytes) Throw(STG_E_FILEALREADYEXISTS);
  ReadAt(fd_, 0, header_, kHeaderBytes);
  if (std::memcmp(header_, kSignature, 8) != 0) Throw(STG_E_FILEALREADYEXISTS);
  int major = Get16(header_ + kHMajorVersion);
  int shift = Get16(header_ + kHSectorShift);
  if (Get16(header_ + kHByteOrder) != kByteOrderMark) Throw(STG_E_INVALIDHEADER);
  if (major == 3 && shift == 9) {
    sectorSize_ = 512;
  } else if (major == 4 && shift == 12) {
    sectorSize_ = 4096;
  } else {
    Throw(STG_E_INVALIDHEADER);
  }
  version_ = major;
  if (Get16(header_ + kHMiniSectorShift) != kMiniSectorShift || Get32(header_ + kHMiniCutoff) != kMiniCutoff)
    Throw(STG_E_INVALIDHEADER);
  if (size < sectorSize_) Throw(STG_E_INVALIDHEADER);
  perSector_ = sectorSize_ / 4;
  fatShift_ = static_cast<std::uint32_t>(__builtin_ctz(perSector_));
  entriesPerSector_ = sectorSize_ / kEntrySize;
  entryShift_ = static_cast<std::uint32_t>(__builtin_ctz(entriesPerSector_));
  std::uint64_t fileSectors64 = (size - sectorSize_ + sectorSize_ - 1) / sectorSize_;
  std::uint32_t fileSectors =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(fileSectors64, MAXREGSECT + 1ull));
  cache_.Init(fd_, sectorSize_, fileSectors);

  std::uint32_t numFat = Get32(header_ + kHNumFat);
  std::uint32_t numDifat = Get32(header_ + kHNumDifat);
  if (numFat == 0 || numFat > fileSectors || numDifat > fileSectors) Throw(STG_E_INVALIDHEADER);
  if (numFat > kHeaderDifat + static_cast<std::uint64_t>(numDifat) * (perSector_ - 1))
    Throw(STG_E_INVALIDHEADER);
  fatLocs_.reserve(numFat);
  auto addFat = [&](std::uint32_t loc) {
    if (loc >= fileSectors) Throw(STG_E_INVALIDHEADER);
    fatLocs_.push_back(Sector{loc});
  };
  for (std::uint32_t k = 0; k < numFat && k < static_cast<std::uint32_t>(kHeaderDifat); ++k)
    addFat(Get32(header_ + kHDifat + 4 * k));
  std::uint32_t cur = Get32(header_ + kHFirstDifat);
  for (std::uint32_t n = 0; n < numDifat; ++n) {
    if (cur == ENDOFCHAIN || cur == FREESECT) break;
    if (cur >= fileSectors) Throw(STG_E_INVALIDHEADER);
    difatLocs_.push_back(Sector{cur});
    const std::uint8_t* p = cache_.Get(Sector{cur});
    for (std::uint32_t i = 0; i + 1 < perSector_ && fatLocs_.size() < numFat; ++i) addFat(Get32(p + 4 * i));
    cur = Get32(p + 4 * (perSector_ - 1));
  }
  if (fatLocs_.size() < numFat) Throw(STG_E_INVALIDHEADER);
  sectorCount_ = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(fileSectors, static_cast<std::uint64_t>(numFat) * perSector_));

  std::uint32_t firstDir = Get32(header_ + kHFirstDir);
  if (firstDir >= sectorCount_) Throw(STG_E_INVALIDHEADER);
  dirChain_.Reset(Sector{firstDir});
  std::uint32_t firstMiniFat = Get32(header_ + kHFirstMiniFat);
  miniFatChain_.Reset(Sector{firstMiniFat == FREESECT ? ENDOFCHAIN : firstMiniFat});

  const std::uint8_t* root = Entry(kRootId);
  if (root[kEType] != kTypeRoot) Corrupt();
  std::uint64_t miniSize = SizeOf(kRootId);
  std::uint32_t miniStart = Get32(root + kEStart);
  if (miniStart == FREESECT) miniStart = ENDOFCHAIN;
  if (miniSize > static_cast<std::uint64_t>(sectorCount_) * sectorSize_) Corrupt();
  if (miniSize > 0 && miniStart == ENDOFCHAIN) Corrupt();
  miniChain_.Reset(Sector{miniSize == 0 ? ENDOFCHAIN : miniStart});
  miniCount_ = static_cast<std::uint32_t>((miniSize + kMiniSize - 1) / kMiniSize);

  freeSectors_.backPage = numFat;
  freeSectors_.bounded = true;
  freeSectors_.credit = freeMini_.credit = freeEntries_.credit = kScanStart;
}

void Docfile::SetDirtyBudget(std::size_t bytes) { dirtyBudget = bytes; }

void Docfile::Trim() {
  if (writable_ && !Broken() && cache_.DirtyBytes() > dirtyBudget) Spill();
  cache_.DropClean(kCleanBudget);
}

// ---- Writing out -------------------------------------------------------------------------------

// A release that cannot keep its journal is refused before anything is written, whatever
// the cause (a full disk, a folder that may not be written, a name too long for the suffix):
// written in place without one, a kill half-way would leave a file that is neither state.
void Docfile::BeginJournal() {
  if (journal_->active()) return;
  journal_->Begin(fd_, oldLength_);
  journaled_.assign(cache_.FileSectors(), false);
  headerJournaled_ = false;
}

// Saves in the journal what the file holds now of the sectors about to be overwritten, once.
void Docfile::SaveOriginals(const std::vector<Sector>& dirty, bool header) {
  auto offsetOf = [&](Sector s) { return static_cast<std::uint64_t>(Raw(s) + 1) * sectorSize_; };
  auto saved = [&](Sector s) {
    return offsetOf(s) >= oldLength_ || (Raw(s) < journaled_.size() && journaled_[Raw(s)]);
  };
  auto next = [&](std::size_t i, std::size_t j) { return Raw(dirty[j]) == Raw(dirty[i]) + (j - i); };
  std::vector<std::uint8_t> orig;
  if (header && !headerJournaled_) {
    orig.resize(sectorSize_);
    ReadAt(fd_, 0, orig.data(), sectorSize_);
    journal_->Save(0, orig.data(), sectorSize_);
    headerJournaled_ = true;
  }
  std::size_t i = 0;
  while (i < dirty.size()) {
    if (saved(dirty[i])) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < dirty.size() && next(i, j) && !saved(dirty[j]) && j - i < 2048) ++j;
    std::size_t bytes = (j - i) * sectorSize_;
    orig.resize(bytes);
    ReadAt(fd_, offsetOf(dirty[i]), orig.data(), bytes);
    journal_->Save(offsetOf(dirty[i]), orig.data(), bytes);
    for (std::size_t k = i; k < j; ++k)
      if (Raw(dirty[k]) < journaled_.size()) journaled_[Raw(dirty[k])] = true;
    i = j;
  }
}

void Docfile::WriteSectors(const std::vector<Sector>& dirty) {
  if (!dirty.empty() && CheckIo(IoStep::FileWrite) != 0) Throw(ErrnoStatus(errno));
  std::size_t i = 0;
  while (i < dirty.size()) {
    std::size_t j = i;
    std::vector<Piece> pieces;
    while (j < dirty.size() && Raw(dirty[j]) == Raw(dirty[i]) + (j - i) && pieces.size() < 2048) {
      pieces.push_back({cache_.Get(dirty[j]), sectorSize_});
      ++j;
    }
    WriteRun(fd_, static_cast<std::uint64_t>(Raw(dirty[i]) + 1) * sectorSize_, pieces);
    i = j;
  }
}

// Writes the dirty sectors out before the release (the header stays in memory): in place
// they go through the journal first, so that the file still opens as the last release.
void Docfile::Spill() {
  std::vector<Sector> dirty = cache_.DirtySorted();
  if (mode_ == Mode::InPlace) {
    BeginJournal();
    SaveOriginals(dirty, false);
    journal_->Sync();
  }
  WriteSectors(dirty);
  cache_.MarkAllClean();
  spilled_ = true;
  if (!dirty.empty() && Raw(dirty.back()) >= cache_.FileSectors()) cache_.SetFileSectors(Raw(dirty.back()) + 1);
}

void Docfile::Flush() {
  if (closed_ || !writable_) return;
  if (Broken()) Throw(brokenHr_);
  if (!cache_.HasDirty() && !spilled_) return;
  std::vector<std::uint8_t> head(sectorSize_, 0);
  std::memcpy(head.data(), header_, kHeaderBytes);
  std::vector<Sector> dirty = cache_.DirtySorted();
  auto writeAll = [&] {
    WriteSectors(dirty);
    if (CheckIo(IoStep::FileWrite) != 0) Throw(ErrnoStatus(errno));
    WriteAt(fd_, 0, head.data(), head.size());
    if (CheckIo(IoStep::FileSync) != 0 || ::fdatasync(fd_) != 0) Throw(ErrnoStatus(errno));
  };
  bool journalGone = true;

  if (mode_ == Mode::InPlace) {
    BeginJournal();  // throws with nothing written
    try {
      SaveOriginals(dirty, true);
      journal_->SaveHeaderAfter(header_);
      journal_->Sync();
      writeAll();
    } catch (const Failure&) {
      // Put back, the file is the last release again; what was spilled is no longer in it.
      if (!journal_->RollBack(fd_) || spilled_) MarkBroken(STG_E_WRITEFAULT);
      throw;
    }
    journalGone = journal_->Finish();
  } else if (lockFd_ < 0) {
    // A new file with nothing to replace appears at its path only now, whole: linked in under
    // its name, never over a file someone made there meanwhile.
    writeAll();
    // A journal beside a name that holds no file was left by a file deleted since; it must
    // not meet this one there.
    const std::string staleJournal = finalPath_ + "-journal";
    struct stat there {};
    if (::lstat(finalPath_.c_str(), &there) != 0 && errno == ENOENT) ::unlink(staleJournal.c_str());
    std::string proc = "/proc/self/fd/" + std::to_string(fd_);
    if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, finalPath_.c_str(), AT_SYMLINK_FOLLOW) != 0)
      Throw(errno == EEXIST ? STG_E_FILEALREADYEXISTS : ErrnoStatus(errno));
    ::unlink(staleJournal.c_str());  // the file at the name is this one now, and locked
    SyncFolderOf(finalPath_);
    mode_ = Mode::InPlace;
  } else {
    writeAll();
    // The new file goes into place in one step; until then the old one is whole.
    // The lock on the old file is still held, so a "<file>.new" already there is a stale one
    // from a replacement that was killed before its rename; the next open removes it too.
    std::string from = tempName_;
    if (from.empty()) {
      std::string name = ReplacementName(finalPath_);
      std::string proc = "/proc/self/fd/" + std::to_string(fd_);
      for (int tries = 0; tries < 2 && from.empty(); ++tries) {
        if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
          from = name;
        else if (errno == EEXIST)
          ::unlink(name.c_str());
        else
          Throw(ErrnoStatus(errno));
      }
      if (from.empty()) Throw(STG_E_WRITEFAULT);
    }
    if (::rename(from.c_str(), finalPath_.c_str()) != 0) {
      int err = errno;
      ::unlink(from.c_str());
      tempName_.clear();
      Throw(ErrnoStatus(err));
    }
    tempName_.clear();
    SyncFolderOf(finalPath_);  // the new file's name is durable before the release answers
    ::unlink((finalPath_ + "-journal").c_str());  // one left for the file that was replaced
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = -1;
    mode_ = Mode::InPlace;
  }
  cache_.MarkAllClean();
  spilled_ = false;
  struct stat st {};
  if (::fstat(fd_, &st) == 0) oldLength_ = static_cast<std::uint64_t>(st.st_size);
  std::uint64_t secs = oldLength_ > sectorSize_ ? (oldLength_ - sectorSize_ + sectorSize_ - 1) / sectorSize_ : 0;
  cache_.SetFileSectors(static_cast<std::uint32_t>(std::min<std::uint64_t>(secs, MAXREGSECT + 1ull)));
  // The release is in the file; only its journal's removal may not be durable yet.
  if (!journalGone) Throw(STG_E_WRITEFAULT);
}


void Docfile::Close() {
  if (closed_) return;
  if (writable_ && !Broken()) {
    try {
      Flush();
    } catch (const Failure&) {
      // The file keeps the state of the previous release.
    } catch (const std::bad_alloc&) {
    }
  }
  // What a session that cannot be written spilled early is taken back out of the file.
  if (journal_ && journal_->active()) journal_->RollBack(fd_);
  for (auto& [id, e] : open_) e->Invalidate();
  open_.clear();
  KeepChains();
  if (fd_ >= 0) ::close(fd_);
  if (lockFd_ >= 0) ::close(lockFd_);
  if (!tempName_.empty()) ::unlink(tempName_.c_str());
  fd_ = lockFd_ = -1;
  cache_.Clear();
  closed_ = true;
}

}  // namespace cfb
