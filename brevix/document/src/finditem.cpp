// The catalog search walk: IOStorage::FindItem.
#include <algorithm>
#include <limits>
#include <memory>
#include <cstdlib>

#include "namefold.h"
#include "ostorage_impl.h"
#include "searchrun.h"
#include "xcom/tokens.h"

namespace brevix {
namespace {

const std::u16string kItemStream(kItemStreamName);
bool objectWalk = false;

}  // namespace

void UseObjectSearchWalk(bool on) { objectWalk = on; }

uint32_t WalkLevel::AppendFolded(uint32_t from, uint32_t len) {
  const auto at = static_cast<uint32_t>(text.size());
  text.resize(at + len);
  FoldInto(text.data() + from, len, text.data() + at);
  return at;
}

void WalkLevel::Sort() {
  std::sort(entries.begin(), entries.end(), [this](const Entry& a, const Entry& b) {
    if (a.storage != b.storage) return a.storage;
    int c = Folded(a).compare(Folded(b));
    if (c != 0) return c < 0;
    return a.seq > b.seq;
  });
}

LONG OStorage::SearchRun::Deliver(const ItemRecord& rec, std::u16string_view folderPath,
                                  std::u16string_view hitPath, double hitSerial, std::uint64_t bytesForKB, BSTR kind,
                                  LONG& hitCount) {
  LONG answer = 0;
  if (itemCallback) {
    xcom::Bstr p(hitPath);
    xcom::Bstr note = rec.note ? xcom::Bstr(*rec.note) : xcom::Bstr();
    DATE date = FileTimeToDate(rec.timeA).value_or(0.0);
    answer = itemCallback(p.Get(), hitSerial, note.Get(), SizeInKB32(bytesForKB), date, kind);
  } else {
    ItemRecord copy = rec;
    DeriveTypeText(copy);
    xcom::Bstr p(folderPath);
    recordCallback(p.Get(), &copy, hitCount);
  }
  ++hitCount;
  return answer;
}

bool OStorage::SearchRun::VisitFolder(const WalkLevel& level, const WalkLevel::Entry& e, ItemRecord& rec,
                                      double childSerial, std::size_t& folderLen, LONG& hitCount) {
  rec.name = std::u16string(level.Shown(e));
  folderLen = path.size();
  if (!path.empty()) path += u'\\';
  path += rec.name;
  const std::u16string_view folderPath(path.data(), folderLen);
  if (anyCriteria && !(criteria.NameMatchesFolded(level.Folded(e)) && criteria.MatchesExceptName(rec))) return false;
  xcom::Bstr diskKind;
  if (rec.kind == ItemDisk) diskKind = xcom::Bstr(rec.typeText);
  LONG answer = Deliver(rec, folderPath, path, childSerial, rec.kind == ItemDisk ? rec.FreeSpace() : rec.Size(),
                        rec.kind == ItemDisk ? diskKind.Get() : folderKind.Get(), hitCount);
  return answer != 0 && itemCallback;
}

bool OStorage::SearchRun::VisitFile(const WalkLevel& level, const WalkLevel::Entry& e, ItemRecord& rec, double serial,
                                    LONG& hitCount) {
  rec.name = std::u16string(level.Shown(e));
  if (anyCriteria && !criteria.MatchesExceptName(rec)) return false;
  std::u16string hitPath = path;
  hitPath += u'\\';
  hitPath += rec.name;
  LONG answer = Deliver(rec, path, hitPath, serial, rec.Size(), fileKind.Get(), hitCount);
  return answer != 0 && itemCallback;
}

HRESULT OStorage::FindItem(BSTR sDir, BSTR Name, BSTR Note, LONG lSize, DATE startDate, DATE endDate,
                           SHORT srchType, LONG lpCallbackFnPtr) {
  if (walking_) return STG_E_INUSE;
  if (lpCallbackFnPtr == 0) return STG_E_INVALIDPARAMETER;
  SearchRun run;
  if (lpCallbackFnPtr > 0) {
    run.itemCallback = xcom::ResolveToken<ItemCallbackFn>(xcom::TokenKind::ItemCallback, lpCallbackFnPtr);
  } else if (lpCallbackFnPtr != std::numeric_limits<LONG>::min()) {
    run.recordCallback =
        xcom::ResolveToken<ItemRecordCallbackFn>(xcom::TokenKind::ItemRecordCallback, -lpCallbackFnPtr);
  }
  if (!run.itemCallback && !run.recordCallback) return STG_E_INVALIDPARAMETER;

  HRESULT hr = LoadDoc(nullptr);
  if (FAILED(hr)) return hr;

  if (Name || Note || lSize != 0 || startDate != 0 || endDate != 0) {
    run.criteria.name = NamePattern(xcom::BstrView(Name));
    run.criteria.note = NamePattern(xcom::BstrView(Note));
    run.criteria.sizeLimit = lSize;
    if (DateLessOrEqual(startDate, endDate)) {
      run.criteria.startDate = startDate;
      run.criteria.endDate = endDate;
    }
  }
  run.anyCriteria = !run.criteria.IsEmpty();

  double serial = -1.0;
  std::u16string_view dir = xcom::BstrView(sDir);
  if (!dir.empty()) {
    // The walk below starts from the root anyway; the disk's storage must not be held open
    // while its record is read.
    hr = CloseAllStacked();
    current_ = Current::Root;
    ItemRecord disk;
    disk.kind = ItemDisk;
    disk.name = std::u16string(dir.substr(0, dir.find(u'/')));
    if (SUCCEEDED(ReadRecordOf(root_, disk))) serial = disk.serial;
    hr = SetCurrentFolder(sDir, FOLDER_PATH);
    if (FAILED(hr)) {
      CloseInternal(false);
      return hr;
    }
  }
  if (!CurrentFrame()) current_ = Current::Root;

  hitCount_ = 0;
  {
    wintypes::ScopedFlag guard(walking_);
    std::uint32_t self = cfb::TreeReader::kNone;
    if (!objectWalk && SUCCEEDED(run.reader.Attach(CurrentFrame()->stg.Get(), &self))) {
      run.refuseFrom = WholeStreamRefusedFrom();
      hr = SearchTreeLevel(run, srchType, serial, self, CurrentFrame());
    } else {
      hr = SearchLevel(run, srchType, serial, false);
    }
  }
  hitCount_ = 0;
  HRESULT closed = CloseInternal(false);
  if (FAILED(hr)) return hr;
  if (FAILED(run.firstError)) return run.firstError;
  return closed;
}

// Lists the level of `here` into the walk's buffer for the current depth and sorts it, and
// lets the enumerator go, before any of it is visited.
HRESULT OStorage::ListSearchLevel(SearchRun& run, Frame& here) {
  WalkLevel& level = run.LevelAt(run.depth);
  level.Clear();
  IStorage* stg = here.stg.Get();
  const SearchCriteria& k = run.criteria;
  {
    ComPtr<IEnumSTATSTG> en;
    HRESULT hr = stg->EnumElements(0, nullptr, 0, en.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    // The container lends its names where it can: the level copies them anyway.
    ComPtr<IEnumSTATSTGLent> lent;
    if (FAILED(en->QueryInterface(IID_IEnumSTATSTGLent, reinterpret_cast<void**>(lent.ReleaseAndGetAddressOf()))))
      lent = nullptr;
    const ULONG kBatch = static_cast<ULONG>(run.batch.size());
    STATSTG* batch = run.batch.data();
    uint32_t seq = 0;
    for (;;) {
      ULONG got = 0;
      hr = lent ? lent->NextLent(kBatch, batch, run.lengths.data(), &got) : en->Next(kBatch, batch, &got);
      if (FAILED(hr)) return hr;
      for (ULONG i = 0; i < got; ++i) {
        struct Freed {
          STATSTG& st;
          bool owned;
          ~Freed() {
            if (owned) std::free(st.pwcsName);
          }
        } freed{batch[i], !lent};
        const OLECHAR* raw = batch[i].pwcsName ? batch[i].pwcsName : u"";
        std::u16string_view name = lent ? std::u16string_view(raw, run.lengths[i]) : std::u16string_view(raw);
        bool storage = batch[i].type == STGTY_STORAGE;
        if (!IsReservedStreamName(name) && (storage || batch[i].type == STGTY_STREAM)) {
          const uint32_t at = seq++;
          std::u16string_view shown = name;
          if (name.size() > kLongNamePrefix.size() && name[0] == kLongNamePrefix[0] && ParseLongNameElement(name)) {
            shown = ShownNameView(here, name);
          }
          run.folded.resize(shown.size());
          for (std::size_t j = 0; j < shown.size(); ++j) run.folded[j] = FoldUpper(shown[j]);
          // A file whose name fails is never visited: it is neither kept nor sorted.
          if (!storage && run.anyCriteria && !k.NameMatchesFolded(run.folded)) continue;
          WalkLevel::Entry e{};
          e.elem = static_cast<uint32_t>(level.text.size());
          e.elemLen = static_cast<uint32_t>(name.size());
          level.text.append(name);
          level.text.push_back(u'\0');  // element names are handed to the container as they stand
          e.shown = e.elem;
          e.shownLen = e.elemLen;
          if (shown.data() != name.data()) {
            e.shown = static_cast<uint32_t>(level.text.size());
            e.shownLen = static_cast<uint32_t>(shown.size());
            level.text.append(shown);
          }
          e.folded = static_cast<uint32_t>(level.text.size());
          level.text.append(run.folded);
          e.seq = at;
          e.storage = storage;
          level.entries.push_back(e);
        }
      }
      if (hr != S_OK || got < kBatch) break;
    }
  }
  level.Sort();
  return S_OK;
}

HRESULT OStorage::SearchLevel(SearchRun& run, SHORT srchType, double serial, bool listed) {
  const bool descend = WalkDescends(srchType);

  Frame& here = *CurrentFrame();
  const bool atRoot = &here == &root_;
  IStorage* stg = here.stg.Get();  // stays valid while frames below are pushed and popped

  // A level below the first was listed by its parent, before the parent read its record.
  if (!listed) {
    HRESULT hr = ListSearchLevel(run, here);
    if (FAILED(hr)) return hr;
  }
  WalkLevel& level = *run.levels[run.depth];
  DepthScope deeper(run.depth);

  HRESULT first = S_OK;
  for (const WalkLevel::Entry& e : level.entries) {
    if (!e.storage) continue;
    ComPtr<IStorage> child;
    if (FAILED(stg->OpenStorage(level.Element(e), nullptr, kModeRead, nullptr, 0, child.ReleaseAndGetAddressOf()))) {
      continue;
    }
    // A folder to descend into is listed before its record is read: the listing reads its
    // directory once, in order, and the record is then found where it already is.
    HRESULT listed = S_OK;
    IStorage* childStg = child.Get();
    if (descend) {
      PushFrame(std::move(child), std::u16string(level.View(e.elem, e.elemLen)));
      listed = ListSearchLevel(run, *CurrentFrame());
    }
    auto leave = [&] {
      if (!descend) return S_OK;
      return PopFrame();
    };
    ComPtr<IStream> item;
    ItemRecord rec;
    rec.kind = atRoot ? ItemDisk : ItemFolder;
    if (FAILED(OpenStreamIn(childStg, kItemStream, kModeRead, item)) || FAILED(ReadWholeStream(item.Get(), buffer_)) ||
        FAILED(DecodeItemRecord(buffer_.data(), buffer_.size(), rec))) {
      leave();  // a folder without a readable record is passed over, as if never opened
      continue;
    }
    item = nullptr;
    double childSerial = rec.kind == ItemDisk ? rec.serial : serial;
    std::size_t folderLen = 0;
    if (run.VisitFolder(level, e, rec, childSerial, folderLen, hitCount_)) {
      run.path.resize(folderLen);
      HRESULT popped = leave();
      if (FAILED(popped) && SUCCEEDED(first)) first = popped;
      return first;
    }
    if (descend) {
      HRESULT hr = FAILED(listed) ? listed : SearchLevel(run, srchType, childSerial, true);
      if (FAILED(hr) && SUCCEEDED(run.firstError)) run.firstError = hr;
      HRESULT popped = leave();
      if (FAILED(popped) && SUCCEEDED(first)) first = popped;
    }
    run.path.resize(folderLen);
  }

  if (srchType == SEARCH_FOLDERS_ONLY) return first;
  for (const WalkLevel::Entry& e : level.entries) {
    if (e.storage) continue;
    // The level holds only files whose name passed: the rest were left out when it was listed.
    ComPtr<IStream> s;
    if (FAILED(stg->OpenStream(level.Element(e), nullptr, kModeRead, 0, s.ReleaseAndGetAddressOf()))) continue;
    ItemRecord rec;  // a fresh record for every element: an unreadable one stays empty
    rec.kind = ItemFile;
    if (SUCCEEDED(ReadWholeStream(s.Get(), buffer_))) DecodeItemRecord(buffer_.data(), buffer_.size(), rec);
    s = nullptr;
    if (run.VisitFile(level, e, rec, serial, hitCount_)) return first;
  }
  return first;
}

}  // namespace brevix
