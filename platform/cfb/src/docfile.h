// The engine of one open compound file: header, FAT, DIFAT, mini FAT, mini stream,
// directory and sibling trees, over a sector cache whose dirty sectors are written at the
// release (or early, past their budget) through the journal.
//
// Nothing here is linear in the size of the file or in the number of siblings: sector
// chains are followed only as far as needed and remembered; free sectors, mini sectors and
// directory entries come from free lists fed by what is freed and by a scan that advances a
// few pages per allocation; sibling trees are red-black trees, searched and kept balanced in
// place. A tree found unbalanced (written by others) is rebuilt balanced once, or, in a file
// open for reading, indexed in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "fileio.h"
#include "layout.h"
#include "names.h"
#include "sectorcache.h"

namespace cfb {

// A sector chain of the FAT (or of the mini FAT), with the positions found so far.
struct Chain {
  bool mini = false;
  std::uint32_t first = ENDOFCHAIN;
  std::vector<std::uint32_t> secs;
  bool complete = false;
  void Reset(bool isMini, std::uint32_t start) {
    mini = isMini;
    first = start;
    secs.clear();
    complete = (start == ENDOFCHAIN);
  }
};

// Candidates for allocation: what was freed, and what a scan of the table found so far. The
// scan reads pages of the table from both ends towards the middle, a few per allocation:
// space freed by earlier opens is found without reading the whole table, and what was added
// at the end and freed again is found first.
struct FreeList {
  std::vector<std::uint32_t> items;
  std::uint32_t frontPage = 0;  // pages in [frontPage, backPage) are not scanned yet
  std::uint32_t backPage = 0;
  bool bounded = false;  // backPage is known
  bool fromBack = true;
  std::uint64_t credit = 0;
};

// What an enumeration or Stat gives of an element.
struct ElementMeta {
  std::uint8_t type = 0;
  std::uint64_t size = 0;
  std::uint64_t ctime = 0, mtime = 0;
  std::uint8_t clsid[16] = {};
  std::uint32_t stateBits = 0;
};
struct ElementInfo : ElementMeta {
  std::u16string name;
};

// A storage's elements as an enumeration gives them, in the order of the name comparison:
// their names one after another in one buffer, each followed by a null.
struct Listing {
  struct Item {
    ElementMeta meta;
    std::uint32_t nameAt, nameLen;
  };
  std::vector<Item> items;
  std::u16string names;
  const char16_t* Name(std::size_t i) const { return names.data() + items[i].nameAt; }
  std::u16string_view NameView(std::size_t i) const { return {Name(i), items[i].nameLen}; }
};

// An element open through the interfaces: the engine knows which are open so that they are
// not opened twice, replaced, destroyed or renamed, and reverts them when the root goes.
struct OpenElement {
  std::vector<std::uint32_t> path;  // directory ids from the root to this element
  virtual void Invalidate() = 0;

 protected:
  ~OpenElement() = default;
};

// The data of a stream as its open object (or a copy) sees it.
struct StreamCursor {
  std::uint32_t id = NOSTREAM;
  Chain chain;
  bool loaded = false;
};

class Docfile {
 public:
  enum class Mode { InPlace, Replace };

  ~Docfile();

  // Opens the file behind fd (locked already). writable: the root was opened for writing.
  static std::shared_ptr<Docfile> Open(int fd, std::string journalPath, bool writable);
  // A new, empty compound file that replaces the one held as lockFd when it is written
  // out; its sectors go to dataFd (a new file, locked, not yet in place) and into place as
  // finalPath.
  static std::shared_ptr<Docfile> NewReplacing(int dataFd, int lockFd, std::string finalPath,
                                               std::string journalPath, std::string tempName);
  // The bytes of an empty compound file of version 3.
  static std::vector<std::uint8_t> EmptyFileImage();
  // Where a replacement links its new file just before renaming it over the old one.
  static std::string ReplacementName(const std::string& finalPath) { return finalPath + ".new"; }

  bool Writable() const { return writable_; }
  bool Closed() const { return closed_; }
  bool Broken() const { return brokenHr_ != S_OK; }
  HRESULT BrokenStatus() const { return brokenHr_; }
  void MarkBroken(HRESULT hr) { if (brokenHr_ == S_OK) brokenHr_ = FAILED(hr) ? hr : E_FAIL; }
  // The file could not be read where it must hold data, since it was opened.
  bool ReadFaulted() const { return cache_.ReadFaulted(); }
  std::uint64_t Mutations() const { return cache_.Mutations(); }
  // At the start of a call: writes dirty sectors out early when they pass their budget
  // (through the journal, so that a kill still gives back the last release), and lets go of
  // clean sectors beyond theirs.
  void Trim();
  static void SetDirtyBudget(std::size_t bytes);  // for tests; the default is 128 MB

  // Writes everything out (the journal, synced; sectors, header, the file's sync). Throws on
  // failure, after putting the file back as it was.
  void Flush();
  // Writes out (unless broken), reverts every open element and closes the file.
  void Close();

  // Directory.
  static constexpr std::uint32_t kRootId = 0;
  std::uint32_t Find(std::uint32_t storage, const NameKey& key);
  std::uint8_t TypeOf(std::uint32_t id);
  ElementInfo Info(std::uint32_t id, bool withName);
  Listing List(std::uint32_t storage);
  std::vector<std::uint32_t> Children(std::uint32_t storage);
  // A new element (the name must not be there yet).
  std::uint32_t Create(std::uint32_t storage, const std::u16string& name, std::uint8_t type);
  // The element of that name's key, found or else made, in one descent of the sibling tree;
  // `existed` tells which.
  std::uint32_t CreateOrFind(std::uint32_t storage, const std::u16string& name, std::uint8_t type, bool* existed);
  // Empties an element and gives it a new type and name of the same key, in place.
  void Reinit(std::uint32_t id, const std::u16string& name, std::uint8_t type);
  void Destroy(std::uint32_t storage, std::uint32_t id, const std::vector<std::uint32_t>& storagePath);
  void Rename(std::uint32_t storage, std::uint32_t id, const std::u16string& name);
  void SetMeta(std::uint32_t id, const ElementMeta& from);  // class id, state bits, times
  void InitElement(std::uint32_t id, const std::u16string& name, std::uint8_t type);

  // Open elements.
  void Register(std::uint32_t id, OpenElement* e) { open_[id] = e; }
  void Unregister(std::uint32_t id) { open_.erase(id); }
  bool IsOpen(std::uint32_t id) const { return open_.count(id) != 0; }
  bool OpenWithin(std::uint32_t id) const;

  // Stream data.
  std::uint64_t SizeOf(std::uint32_t id);
  std::uint64_t MaxStreamSize() const { return version_ == 3 ? 0x80000000ull : (1ull << 44); }
  std::size_t Read(StreamCursor& c, std::uint64_t pos, void* buf, std::size_t n);
  void Write(StreamCursor& c, std::uint64_t pos, const void* buf, std::size_t n);
  void Resize(StreamCursor& c, std::uint64_t newSize);

 private:
  Docfile() = default;
  // Owners of chains that are not elements: the directory and the mini FAT.
  static constexpr std::uint32_t kOwnerDir = 0xFFFFFF00;
  static constexpr std::uint32_t kOwnerMiniFat = 0xFFFFFF01;
  static constexpr std::uint64_t kScanStart = 16;  // pages a free-list scan may read at open
  void LoadHeader();
  void InitEmpty();
  bool BeginJournal();  // false: no journal can be kept beside the file
  void SaveOriginals(const std::vector<std::uint32_t>& dirty, bool header);
  void WriteSectors(const std::vector<std::uint32_t>& dirty);
  void Spill();

  // Tables.
  std::uint32_t FatGet(std::uint32_t s);
  void FatSet(std::uint32_t s, std::uint32_t v);
  std::uint32_t MiniFatGet(std::uint32_t m);
  void MiniFatSet(std::uint32_t m, std::uint32_t v);
  std::uint32_t Next(bool mini, std::uint32_t s) { return mini ? MiniFatGet(s) : FatGet(s); }
  void SetNext(bool mini, std::uint32_t s, std::uint32_t v) { mini ? MiniFatSet(s, v) : FatSet(s, v); }
  std::uint32_t Limit(bool mini) const { return mini ? miniCount_ : sectorCount_; }
  std::uint32_t AppendSector(std::uint32_t mark);
  void AddFatSector();
  void RegisterFatSector(std::uint32_t k, std::uint32_t loc);
  std::uint32_t AllocSector();
  std::uint32_t AllocMini();
  std::uint32_t AppendMini();
  bool ScanFree(FreeList& f, int kind);
  template <class IsFree>
  std::uint32_t TakeFree(FreeList& f, int kind, IsFree isFree);
  void FreeUnit(bool mini, std::uint32_t s);

  // Chains.
  std::uint32_t ChainAt(Chain& c, std::uint32_t i);
  std::uint32_t TryChainAt(Chain& c, std::uint32_t i) {  // NOSTREAM past the end
    return i < c.secs.size() ? c.secs[i] : TryChainOn(c, i);
  }
  std::uint32_t TryChainOn(Chain& c, std::uint32_t i);
  void SetChainStart(std::uint32_t owner, std::uint32_t s);
  void CollectBelow(std::uint32_t storage, std::unordered_set<std::uint32_t>& seen, std::vector<std::uint32_t>& out);
  void FreeElements(const std::vector<std::uint32_t>& ids);
  std::uint32_t ChainLength(Chain& c);  // walks to the end
  void ChainGrow(Chain& c, std::uint32_t units, std::uint32_t ownerId);
  void ChainTruncate(Chain& c, std::uint32_t keep, std::uint32_t ownerId);
  std::uint8_t* UnitPtr(bool mini, Chain& c, std::uint32_t i, bool dirty);
  std::uint32_t UnitSize(bool mini) const { return mini ? kMiniSize : sectorSize_; }

  // Entries and trees.
  const std::uint8_t* Entry(std::uint32_t id) {
    std::uint32_t i = id >> entryShift_;
    if (i < dirChain_.secs.size()) return cache_.Get(dirChain_.secs[i]) + (id & (entriesPerSector_ - 1)) * kEntrySize;
    return EntryOn(id);
  }
  const std::uint8_t* EntryOn(std::uint32_t id);  // the directory chain followed further
  std::uint8_t* EntryW(std::uint32_t id);
  const std::uint8_t* Node(std::uint32_t id) {  // an entry that must be in use
    const std::uint8_t* e = Entry(id);
    if (e[66] != kTypeStorage && e[66] != kTypeStream) Corrupt();
    return e;
  }
  void Prefetch(std::uint32_t id) const;
  std::uint32_t AllocEntry();
  void FreeEntry(std::uint32_t id);
  static NameKey KeyOf(const std::uint8_t* e);
  static std::size_t NameUnits(const std::uint8_t* e);
  static void CopyName(const std::uint8_t* e, std::size_t n, char16_t* out);  // the first n units
  static int Cmp(const NameKey& k, const std::uint8_t* e);
  std::uint32_t Left(std::uint32_t id) { return Get32(Node(id) + 68); }
  std::uint32_t Right(std::uint32_t id) { return Get32(Node(id) + 72); }
  bool Red(std::uint32_t id) { return id != NOSTREAM && Node(id)[67] == 0; }
  void SetLeft(std::uint32_t id, std::uint32_t v) { Put32(EntryW(id) + 68, v); }
  void SetRight(std::uint32_t id, std::uint32_t v) { Put32(EntryW(id) + 72, v); }
  void SetRed(std::uint32_t id, bool red) { EntryW(id)[67] = red ? 0 : 1; }
  std::uint32_t TreeRoot(std::uint32_t storage) { return Get32(Entry(storage) + 76); }
  void SetTreeRoot(std::uint32_t storage, std::uint32_t v) { Put32(EntryW(storage) + 76, v); }
  void Relink(std::uint32_t storage, std::uint32_t parent, std::uint32_t oldChild, std::uint32_t newChild);
  void Insert(std::uint32_t storage, std::uint32_t id);
  // Walks the sibling tree of `storage` towards `key` (rebalancing a tree found too deep): the
  // element of that key, else NOSTREAM with `path` the nodes passed and `lastCmp` the last
  // comparison, where Link hangs a new element in and rebalances.
  std::uint32_t Descend(std::uint32_t storage, const NameKey& key, std::vector<std::uint32_t>& path, int& lastCmp);
  void Link(std::uint32_t storage, std::uint32_t id, const std::vector<std::uint32_t>& path, int lastCmp);
  void Remove(std::uint32_t storage, std::uint32_t id);
  template <class Visit>
  void Walk(std::uint32_t storage, std::unordered_set<std::uint32_t>* seen, Visit&& visit);
  void Traverse(std::uint32_t storage, std::vector<std::uint32_t>& out,
                std::unordered_set<std::uint32_t>* seen = nullptr);
  void InfoFrom(const std::uint8_t* e, ElementMeta& info) const;
  void Rebalance(std::uint32_t storage);
  std::uint32_t BuildBalanced(const std::vector<std::uint32_t>& ids, std::size_t lo, std::size_t hi,
                              int level, int redLevel);
  void SetStart(std::uint32_t id, std::uint32_t start) { Put32(EntryW(id) + 116, start); }
  void SetSize(std::uint32_t id, std::uint64_t size);
  void LoadCursor(StreamCursor& c);

  int fd_ = -1;        // where the sectors are read and written
  int lockFd_ = -1;    // the file being replaced, held locked until then
  Mode mode_ = Mode::InPlace;
  std::string finalPath_;
  std::unique_ptr<Journal> journal_;
  std::string tempName_;  // the replacement's name while it is a named temporary file
  bool writable_ = false;
  bool closed_ = false;
  HRESULT brokenHr_ = S_OK;

  int version_ = 3;
  std::uint32_t sectorSize_ = 512;
  std::uint32_t perSector_ = 128;  // FAT entries in a sector, a power of two
  std::uint32_t fatShift_ = 7;
  std::uint32_t entriesPerSector_ = 4;  // a power of two
  std::uint32_t entryShift_ = 2;
  std::uint8_t header_[512] = {};
  std::uint64_t oldLength_ = 0;  // the file's length at the last release
  bool unjournaled_ = false;     // this release goes without a journal
  std::vector<bool> journaled_;  // sectors of the last release already saved in the journal
  bool headerJournaled_ = false;
  bool spilled_ = false;  // sectors were written out before this release

  SectorCache cache_;
  std::uint32_t sectorCount_ = 0;  // sectors in use or beyond the end: allocation starts here
  std::vector<std::uint32_t> fatLocs_;
  std::vector<std::uint32_t> difatLocs_;
  Chain dirChain_, miniFatChain_, miniChain_;
  std::uint32_t miniCount_ = 0;  // mini sectors in the mini stream
  FreeList freeSectors_, freeMini_, freeEntries_;

  std::vector<std::uint64_t> marks_;  // elements visited by the walk of one storage
  std::vector<std::uint32_t> walked_;  // the elements marked there
  struct WalkStep {
    std::uint32_t id;
    const std::uint8_t* e;
  };
  std::vector<WalkStep> walkStack_;
  std::vector<std::uint32_t> insertPath_;  // CreateOrFind's descent, kept for its capacity

  std::unordered_map<std::uint32_t, OpenElement*> open_;
  std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> index_;  // unbalanced trees, read-only files
};

}  // namespace cfb
