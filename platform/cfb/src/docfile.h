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
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "fileio.h"
#include "layout.h"
#include "names.h"
#include "sectorcache.h"

namespace cfb {

// A chain of sectors through the FAT, or of mini sectors through the mini FAT, with the
// positions found so far.
template <class Unit>
struct Chain {
  Unit first = kEndOfChain<Unit>;
  std::vector<Unit> secs;
  bool complete = false;
  void Reset(Unit start) {
    first = start;
    secs.clear();
    complete = (start == kEndOfChain<Unit>);
  }
  void Reset() { Reset(kEndOfChain<Unit>); }  // empty
};

// Candidates for allocation: what was freed, and what a scan of the table found so far. The
// scan reads pages of the table from both ends towards the middle, a few per allocation:
// space freed by earlier opens is found without reading the whole table, and what was added
// at the end and freed again is found first.
template <class Unit>  // Sector, MiniSector or EntryId
struct FreeList {
  std::vector<Unit> items;
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
  std::vector<EntryId> path;  // the entries from the root to this element
  virtual void Invalidate() = 0;

 protected:
  ~OpenElement() = default;
};

// The data of a stream as its open object (or a copy) sees it.
struct StreamCursor {
  EntryId id = kNoEntry;
  Pool pool = Pool::kRegular;
  Chain<Sector> sectors;    // the data's chain in whole sectors
  Chain<MiniSector> minis;  // or in the mini stream
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
  static constexpr EntryId kRootId{0};
  EntryId Find(EntryId storage, const NameKey& key);
  std::uint8_t TypeOf(EntryId id);
  ElementInfo Info(EntryId id, bool withName);
  Listing List(EntryId storage);
  // The elements of one storage in the order of List, each handed with its directory entry
  // to visit (the entry stays valid through the call, which must not call the file again).
  using EntryVisit = void (*)(void* context, EntryId id, const std::uint8_t* entry);
  void VisitChildren(EntryId storage, EntryVisit visit, void* context);
  std::vector<EntryId> Children(EntryId storage);
  // A new element (the name must not be there yet).
  EntryId Create(EntryId storage, const std::u16string& name, std::uint8_t type);
  // The element of that name's key, found or else made, in one descent of the sibling tree;
  // `existed` tells which.
  EntryId CreateOrFind(EntryId storage, const std::u16string& name, std::uint8_t type, bool* existed);
  // Empties an element and gives it a new type and name of the same key, in place.
  void Reinit(EntryId id, const std::u16string& name, std::uint8_t type);
  void Destroy(EntryId storage, EntryId id, const std::vector<EntryId>& storagePath);
  void Rename(EntryId storage, EntryId id, const std::u16string& name);
  void SetMeta(EntryId id, const ElementMeta& from);  // class id, state bits, times
  void InitElement(EntryId id, const std::u16string& name, std::uint8_t type);

  // Open elements.
  void Register(EntryId id, OpenElement* e) { open_[id] = e; }
  void Unregister(EntryId id) { open_.erase(id); }
  bool IsOpen(EntryId id) const { return open_.count(id) != 0; }
  bool OpenWithin(EntryId id) const;

  // Stream data.
  std::uint64_t SizeOf(EntryId id);
  std::uint64_t MaxStreamSize() const { return version_ == 3 ? 0x80000000ull : (1ull << 44); }
  std::size_t Read(StreamCursor& c, std::uint64_t pos, void* buf, std::size_t n);
  void Write(StreamCursor& c, std::uint64_t pos, const void* buf, std::size_t n);
  void Resize(StreamCursor& c, std::uint64_t newSize);

 private:
  friend class TreeReader;  // reads entries and streams by their ids, without objects
  Docfile() = default;
  // Owners of chains that are not elements: the directory and the mini FAT.
  static constexpr EntryId kOwnerDir{0xFFFFFF00};
  static constexpr EntryId kOwnerMiniFat{0xFFFFFF01};
  static constexpr std::uint64_t kScanStart = 16;  // pages a free-list scan may read at open
  void LoadHeader();
  void InitEmpty();
  void BeginJournal();  // throws when no journal can be kept beside the file
  void SaveOriginals(const std::vector<Sector>& dirty, bool header);
  void WriteSectors(const std::vector<Sector>& dirty);
  void Spill();

  // Tables.
  Sector FatGet(Sector s);
  void FatSet(Sector s, Sector v);
  MiniSector MiniFatGet(MiniSector m);
  void MiniFatSet(MiniSector m, MiniSector v);
  Sector Next(Sector s) { return FatGet(s); }
  MiniSector Next(MiniSector m) { return MiniFatGet(m); }
  void SetNext(Sector s, Sector v) { FatSet(s, v); }
  void SetNext(MiniSector m, MiniSector v) { MiniFatSet(m, v); }
  template <class Unit>
  std::uint32_t Limit() const {  // units in use or beyond the end of their pool
    return kPoolOf<Unit> == Pool::kMini ? miniCount_ : sectorCount_;
  }
  Sector AppendSector(Sector mark);
  void AddFatSector();
  void RegisterFatSector(std::uint32_t k, Sector loc);
  Sector AllocSector();
  MiniSector AllocMini();
  MiniSector AppendMini();
  template <class Unit>
  bool ScanFree(FreeList<Unit>& f);
  template <class Unit, class IsFree>
  std::optional<Unit> TakeFree(FreeList<Unit>& f, IsFree isFree);
  void FreeUnit(Sector s);
  void FreeUnit(MiniSector m);

  // Chains.
  // The chains kept from the last read of this same file, taken where its FAT proves them
  // still right, and kept at the close: once an open follows the directory's chain past this
  // many sectors, and past as many as the FAT has.
  static constexpr std::uint32_t kKeepChainsFrom = 16;
  void AdoptKeptChains();
  void KeepChains();
  bool CopyFat(std::vector<std::uint8_t>& out);  // false: too large to keep, or not readable
  bool FatIs(const std::vector<std::uint8_t>& image);
  bool ReadAsItStands() const;
  template <class Unit>
  Unit ChainAt(Chain<Unit>& c, std::uint32_t i);
  template <class Unit>
  std::optional<Unit> TryChainAt(Chain<Unit>& c, std::uint32_t i) {  // nothing past the end
    return i < c.secs.size() ? std::optional<Unit>(c.secs[i]) : TryChainOn(c, i);
  }
  template <class Unit>
  std::optional<Unit> TryChainOn(Chain<Unit>& c, std::uint32_t i);
  template <class Unit>
  void SetChainStart(EntryId owner, Unit s);
  void CollectBelow(EntryId storage, std::unordered_set<EntryId>& seen, std::vector<EntryId>& out);
  void FreeElements(const std::vector<EntryId>& ids);
  template <class Unit>
  std::uint32_t ChainLength(Chain<Unit>& c);  // walks to the end
  template <class Unit>
  void ChainGrow(Chain<Unit>& c, std::uint32_t units, EntryId owner);
  template <class Unit>
  void ChainTruncate(Chain<Unit>& c, std::uint32_t keep, EntryId owner);
  std::uint8_t* UnitPtr(Chain<Sector>& c, std::uint32_t i, bool dirty);
  std::uint8_t* UnitPtr(Chain<MiniSector>& c, std::uint32_t i, bool dirty);
  std::uint32_t UnitSize(Pool pool) const { return pool == Pool::kMini ? kMiniSize : sectorSize_; }

  // Entries and trees.
  const std::uint8_t* Entry(EntryId id) {
    const std::uint32_t n = Raw(id);
    std::uint32_t i = n >> entryShift_;
    if (i < dirChain_.secs.size()) return cache_.Get(dirChain_.secs[i]) + (n & (entriesPerSector_ - 1)) * kEntrySize;
    return EntryOn(id);
  }
  const std::uint8_t* EntryOn(EntryId id);  // the directory chain followed further
  std::uint8_t* EntryW(EntryId id);
  const std::uint8_t* Node(EntryId id) {  // an entry that must be in use
    const std::uint8_t* e = Entry(id);
    if (e[kEType] != kTypeStorage && e[kEType] != kTypeStream) Corrupt();
    return e;
  }
  // Hints to the processor, read from the file's map as it was at open (a sector written
  // since may say otherwise): they read nothing that can fail, and what they cannot place
  // they pass over.
  const std::uint8_t* PeekEntry(EntryId id) const {  // the entry in the map, or null
    const std::size_t i = Raw(id) >> entryShift_;
    if (id == kNoEntry || i >= dirChain_.secs.size()) return nullptr;
    const std::uint8_t* p = cache_.Peek(dirChain_.secs[i]);
    return p ? p + (Raw(id) & (entriesPerSector_ - 1)) * kEntrySize : nullptr;
  }
  void Prefetch(EntryId id) const {  // an entry's links
    if (const std::uint8_t* e = PeekEntry(id)) __builtin_prefetch(e + kENameLength);
  }
  void PrefetchAround(EntryId root) const;          // the entries next to a tree's root
  void PrefetchTree(EntryId root) const;            // the top of a sibling tree
  void PrefetchData(EntryId id) const;              // the start of a stream's data
  EntryId AllocEntry();
  void FreeEntry(EntryId id);
  static NameKey KeyOf(const std::uint8_t* e);
  static std::size_t NameUnits(const std::uint8_t* e);
  static void CopyName(const std::uint8_t* e, std::size_t n, char16_t* out);  // the first n units
  static int Cmp(const NameKey& k, const std::uint8_t* e);
  EntryId Left(EntryId id) { return LeftOf(Node(id)); }
  EntryId Right(EntryId id) { return RightOf(Node(id)); }
  bool Red(EntryId id) { return id != kNoEntry && Node(id)[kEColour] == kRed; }
  void SetLeft(EntryId id, EntryId v) { Put32(EntryW(id) + kELeft, Raw(v)); }
  void SetRight(EntryId id, EntryId v) { Put32(EntryW(id) + kERight, Raw(v)); }
  void SetRed(EntryId id, bool red) { EntryW(id)[kEColour] = red ? kRed : kBlack; }
  EntryId TreeRoot(EntryId storage) { return ChildOf(Entry(storage)); }
  void SetTreeRoot(EntryId storage, EntryId v) { Put32(EntryW(storage) + kEChild, Raw(v)); }
  void Relink(EntryId storage, EntryId parent, EntryId oldChild, EntryId newChild);
  void Insert(EntryId storage, EntryId id);
  // Walks the sibling tree of `storage` towards `key` (rebalancing a tree found too deep): the
  // element of that key, else kNoEntry with `path` the nodes passed and `lastCmp` the last
  // comparison, where Link hangs a new element in and rebalances.
  EntryId Descend(EntryId storage, const NameKey& key, std::vector<EntryId>& path, int& lastCmp);
  void Link(EntryId storage, EntryId id, const std::vector<EntryId>& path, int lastCmp);
  void Remove(EntryId storage, EntryId id);
  template <class Visit>
  void Walk(EntryId storage, std::unordered_set<EntryId>* seen, Visit&& visit);
  void Traverse(EntryId storage, std::vector<EntryId>& out, std::unordered_set<EntryId>* seen = nullptr);
  void InfoFrom(const std::uint8_t* e, ElementMeta& info) const;
  void Rebalance(EntryId storage);
  EntryId BuildBalanced(const std::vector<EntryId>& ids, std::size_t lo, std::size_t hi, int level, int redLevel);
  template <class Unit>
  void SetStart(EntryId id, Unit start) {
    Put32(EntryW(id) + kEStart, Raw(start));
  }
  void SetSize(EntryId id, std::uint64_t size);
  void LoadCursor(StreamCursor& c);
  void DropData(EntryId id);  // frees a stream's chain: its size stays

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
  std::uint8_t header_[kHeaderBytes] = {};
  std::uint64_t oldLength_ = 0;  // the file's length at the last release
  std::vector<bool> journaled_;  // sectors of the last release already saved in the journal
  bool headerJournaled_ = false;
  bool spilled_ = false;  // sectors were written out before this release

  SectorCache cache_;
  std::uint32_t sectorCount_ = 0;  // sectors in use or beyond the end: allocation starts here
  std::vector<Sector> fatLocs_;
  std::vector<Sector> difatLocs_;
  Chain<Sector> dirChain_, miniFatChain_, miniChain_;
  bool chainsChecked_ = false;
  bool adopted_ = false;  // the chains kept were taken at this open
  std::vector<std::uint8_t> fatImage_;  // the FAT as this open followed its chains through it
  dev_t fileDev_ = 0;
  ino_t fileIno_ = 0;
  std::uint32_t miniCount_ = 0;  // mini sectors in the mini stream
  FreeList<Sector> freeSectors_;
  FreeList<MiniSector> freeMini_;
  FreeList<EntryId> freeEntries_;

  std::vector<std::uint64_t> marks_;  // elements visited by the walk of one storage
  std::vector<EntryId> walked_;       // the elements marked there
  struct WalkStep {
    EntryId id;
    const std::uint8_t* e;
  };
  std::vector<WalkStep> walkStack_;
  std::vector<EntryId> insertPath_;  // CreateOrFind's descent, kept for its capacity

  std::unordered_map<EntryId, OpenElement*> open_;
  std::unordered_map<EntryId, std::vector<EntryId>> index_;  // unbalanced trees, read-only files
};

}  // namespace cfb
