// The chains of the directory, the mini FAT and the mini stream kept from the last read of a
// file for the next open of that same file, taken again only where the file proves unchanged.
//
// A catalog is opened and closed for every search, and following the directory's chain from
// its start through the FAT costs a search a good part of its time. A chain is a function of
// its first sector, the FAT sectors' places and bytes, and the file's sector count: a kept
// chain is taken only when all of these are as they were when it was followed. The FAT
// itself is compared byte for byte, so a file rewritten in place by another program, with the
// same length and times or not, is followed afresh.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "docfile.h"

namespace cfb {
namespace {

// A file whose FAT is larger than this keeps nothing (the FAT of a 2 GiB file).
constexpr std::size_t kKeptFatLimit = 16u << 20;

struct Kept {
  bool held = false;
  dev_t dev = 0;
  ino_t ino = 0;
  std::uint64_t length = 0;
  std::uint8_t header[kHeaderBytes] = {};
  std::vector<Sector> fatLocs;
  std::vector<std::uint8_t> fat;
  std::uint32_t sectorCount = 0, miniCount = 0;
  Chain<Sector> dir, miniFat, mini;
};
std::mutex keptLock;
Kept kept;

// A kept chain that goes further than the one followed so far in this open, and the same
// as far as that one goes.
void TakeLonger(Chain<Sector>& now, const Chain<Sector>& from) {
  if (from.first == now.first && from.secs.size() > now.secs.size() &&
      std::equal(now.secs.begin(), now.secs.end(), from.secs.begin()))
    now = from;
}

}  // namespace

bool Docfile::CopyFat(std::vector<std::uint8_t>& out) {
  const std::size_t bytes = fatLocs_.size() * static_cast<std::size_t>(sectorSize_);
  if (bytes > kKeptFatLimit) return false;
  out.resize(bytes);
  for (std::size_t k = 0; k < fatLocs_.size(); ++k)
    std::memcpy(out.data() + k * sectorSize_, cache_.Get(fatLocs_[k]), sectorSize_);
  return !ReadFaulted();
}

bool Docfile::FatIs(const std::vector<std::uint8_t>& image) {
  if (image.size() != fatLocs_.size() * static_cast<std::size_t>(sectorSize_)) return false;
  for (std::size_t k = 0; k < fatLocs_.size(); ++k)
    if (std::memcmp(image.data() + k * sectorSize_, cache_.Get(fatLocs_[k]), sectorSize_) != 0) return false;
  return !ReadFaulted();
}

// Only a file read as it stands: nothing written or changed in this open.
bool Docfile::ReadAsItStands() const {
  return mode_ == Mode::InPlace && !Broken() && !ReadFaulted() && Mutations() == 0 && !cache_.HasDirty() &&
         !spilled_;
}

void Docfile::AdoptKeptChains() {
  chainsChecked_ = true;
  if (!ReadAsItStands()) return;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || static_cast<std::uint64_t>(st.st_size) != oldLength_) return;
  fileDev_ = st.st_dev;
  fileIno_ = st.st_ino;
  try {
    {
      std::lock_guard<std::mutex> hold(keptLock);
      if (kept.held && kept.dev == fileDev_ && kept.ino == fileIno_ && kept.length == oldLength_ &&
          std::memcmp(kept.header, header_, kHeaderBytes) == 0 && kept.fatLocs == fatLocs_ &&
          kept.sectorCount == sectorCount_ && kept.miniCount == miniCount_ && FatIs(kept.fat)) {
        TakeLonger(dirChain_, kept.dir);
        TakeLonger(miniFatChain_, kept.miniFat);
        TakeLonger(miniChain_, kept.mini);
        adopted_ = true;
        return;
      }
    }
    // Nothing to take: the FAT as it is now, to keep with what this open follows.
    if (!CopyFat(fatImage_)) fatImage_.clear();
  } catch (const Failure&) {
    fatImage_.clear();  // the chains are followed as they come, and fail where they fail
  }
}

void Docfile::KeepChains() {
  if (!chainsChecked_ || !ReadAsItStands()) return;
  try {
    std::lock_guard<std::mutex> hold(keptLock);
    const bool same = kept.held && kept.dev == fileDev_ && kept.ino == fileIno_ && kept.length == oldLength_;
    if (adopted_) {
      // Taken at the open: the kept chains stand, unless this open went further along them.
      if (!same || (kept.dir.secs.size() >= dirChain_.secs.size() &&
                    kept.miniFat.secs.size() >= miniFatChain_.secs.size() &&
                    kept.mini.secs.size() >= miniChain_.secs.size()))
        return;
      if (!FatIs(kept.fat)) return;
    } else {
      // The FAT is still what the chains were followed through.
      if (fatImage_.empty() || !FatIs(fatImage_)) return;
      kept.fat = std::move(fatImage_);
      fatImage_.clear();
    }
    kept.held = true;
    kept.dev = fileDev_;
    kept.ino = fileIno_;
    kept.length = oldLength_;
    std::memcpy(kept.header, header_, kHeaderBytes);
    kept.fatLocs = fatLocs_;
    kept.sectorCount = sectorCount_;
    kept.miniCount = miniCount_;
    kept.dir = dirChain_;
    kept.miniFat = miniFatChain_;
    kept.mini = miniChain_;
  } catch (const Failure&) {
  }
}

}  // namespace cfb
