// The catalog document's walk over a hostile catalog: every level, every record, a search.
#include "catalogwalk.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "cfb.h"
#include "ostorage.h"
#include "unicode.h"
#include "walk.h"
#include "xcom/tokens.h"

namespace brevixfuzz {

namespace {

using xcom::Bstr;
using xcom::ComPtr;

// Bounds that keep one input's walk short whatever the file claims.
constexpr int kMaxDepth = 12;
constexpr int kMaxElements = 4000;

LONG CountHit(BSTR, double, BSTR, LONG, DATE, BSTR) { return 0; }
LONG CountRecord(BSTR, ItemRecord*, LONG) { return 0; }

struct Walker {
  IOStorageInternal* doc;
  int elements = 0;

  void Level(const std::u16string& path, int depth) {
    if (depth > kMaxDepth || elements > kMaxElements) return;
    HRESULT hr = path.empty() ? doc->SetCurrentFolder(nullptr, FOLDER_ROOT)
                              : doc->SetCurrentFolder(Bstr(path).Get(), FOLDER_PATH);
    if (FAILED(hr)) return;
    ComPtr<IEnumSTATSTG> e;
    if (FAILED(doc->EnumElements(1, e.GetAddressOf())) || !e) return;
    std::vector<std::u16string> below;
    STATSTG st;
    ULONG got = 0;
    while (elements++ <= kMaxElements && e->Next(1, &st, &got) == S_OK && got == 1) {
      BSTR longName = nullptr;
      doc->LongNameFromElement(st.pwcsName, &longName);
      std::u16string name(xcom::BstrView(longName));
      SysFreeString(longName);
      ItemRecord rec;
      rec.name = name;
      rec.kind = st.type == STGTY_STORAGE ? (depth == 0 ? ItemDisk : ItemFolder) : ItemFile;
      doc->GetItemInfo(nullptr, &rec);
      LONG accessed = 0;
      doc->WasItemAccessed(Bstr(name).Get(), 0, 0, &accessed);
      if (st.type == STGTY_STORAGE) below.push_back(name);
      std::free(st.pwcsName);
    }
    for (const std::u16string& name : below) Level(path.empty() ? name : path + u"/" + name, depth + 1);
  }
};

}  // namespace

void Walk(const std::string& path) {
  ComPtr<IOStorageInternal> doc;
  if (FAILED(brevix::NewCatalogDocument(&doc))) return;
  const Bstr file(unicode::Utf8ToUtf16(path, unicode::Policy::kLossless));
  if (FAILED(doc->LoadDoc(file.Get()))) return;
  double value = 0;
  doc->get_BaseSerialNum(&value);
  doc->get_FileVersion(&value);
  BSTR master = nullptr, user = nullptr;
  doc->GetPasswords(&master, &user);
  SysFreeString(master);
  SysFreeString(user);
  BSTR disk = nullptr;
  doc->FindDiskInLibrary(1.0, &disk);
  SysFreeString(disk);
  doc->IsNameUsed(Bstr(u"Disk").Get(), &value);

  Walker{doc.Get()}.Level(u"", 0);

  xcom::ScopedToken hits(xcom::TokenKind::ItemCallback, &CountHit);
  xcom::ScopedToken records(xcom::TokenKind::ItemRecordCallback, &CountRecord);
  doc->FindItem(nullptr, Bstr(u"*a*").Get(), nullptr, 0, 0, 0, SEARCH_ALL, hits.value());
  doc->FindItem(nullptr, nullptr, Bstr(u"*").Get(), 1, 0, 0, SEARCH_FOLDERS_ONLY, -records.value());
  doc->FindItem(nullptr, nullptr, nullptr, 0, 0, 0, SEARCH_ALL, hits.value());  // every record
  doc->CloseDoc(0);
}

void RunOne(const std::uint8_t* data, std::size_t size) {
  const std::string path = cfbfuzz::ScratchInput(data, size, "input.dkc");
  Walk(path);
  cfbfuzz::RemoveScratch(path);
}

}  // namespace brevixfuzz
