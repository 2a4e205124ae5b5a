// Fixtures for the catalog document's tests: temporary folders, catalogs built through
// OStorage, and raw reads of a catalog file through the compound-file layer.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cfb.h"
#include "itemstream.h"
#include "ostorage.h"
#include "testing_files/test_support.h"
#include "xcom/com.h"

namespace testutil {

using xcom::Bstr;
using xcom::ComPtr;

inline std::string Narrow(std::u16string_view s) { return xcom::Utf16ToUtf8(s); }

class TempDir {
 public:
  std::string File(const std::string& name) const { return (dir_.path() / name).string(); }
  std::u16string File16(const std::string& name) const { return xcom::Utf8ToUtf16(File(name)); }

 private:
  testing_files::ScratchFolder dir_{"brevixdoc"};
};

inline ComPtr<IOStorageInternal> NewDoc() {
  ComPtr<IOStorageInternal> doc;
  EXPECT_EQ(brevix::NewCatalogDocument(&doc), S_OK);
  return doc;
}

inline FILETIME Ft(std::uint64_t v) { return U64ToFileTime(v); }

inline ItemRecord Disk(std::u16string name, double serial, std::u16string type = u"Floppy Disk",
                       std::uint64_t size = 1457664, std::uint64_t freeSpace = 1024,
                       brevix::CountedString note = std::nullopt) {
  ItemRecord r = brevix::MakeItemRecord(std::move(name), std::move(note), static_cast<DWORD>(size >> 32),
                                        static_cast<DWORD>(size), std::move(type), Ft(1), Ft(2), ItemDisk,
                                        serial, static_cast<DWORD>(freeSpace >> 32),
                                        static_cast<DWORD>(freeSpace));
  return r;
}

inline ItemRecord Folder(std::u16string name, std::uint64_t size = 0, brevix::CountedString note = std::nullopt,
                         FILETIME timeA = {}) {
  return brevix::MakeItemRecord(std::move(name), std::move(note), static_cast<DWORD>(size >> 32),
                                static_cast<DWORD>(size), {}, timeA, {}, ItemFolder);
}

inline ItemRecord File(std::u16string name, std::uint64_t size = 0, brevix::CountedString note = std::nullopt,
                       FILETIME timeA = {}) {
  return brevix::MakeItemRecord(std::move(name), std::move(note), static_cast<DWORD>(size >> 32),
                                static_cast<DWORD>(size), {}, timeA, {}, ItemFile);
}

// Adds a record under the catalog path `parent` of an open document.
inline HRESULT Add(IOStorage* doc, std::u16string_view parent, ItemRecord rec) {
  HRESULT hr = doc->SetCurrentFolder(Bstr(parent).Get(), FOLDER_PATH);
  if (FAILED(hr)) return hr;
  Bstr name(rec.name);
  return doc->AddItem(nullptr, name.Get(), &rec);
}

// Reads a record of the catalog path `parent` with a closed or open document.
inline HRESULT Get(IOStorage* doc, std::u16string_view parent, std::u16string name, LONG kind, ItemRecord& out) {
  out = ItemRecord{};
  out.name = std::move(name);
  out.kind = kind;
  HRESULT hr = doc->SetCurrentFolder(Bstr(parent).Get(), FOLDER_PATH);
  if (FAILED(hr)) return hr;
  return doc->GetItemInfo(nullptr, &out);
}

// Raw access to a closed catalog file, bypassing the document.
class RawFile {
 public:
  explicit RawFile(const std::u16string& path) {
    hr_ = StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                         root_.ReleaseAndGetAddressOf());
  }
  HRESULT status() const { return hr_; }

  // The storage at the element path `storages` (element names as stored).
  ComPtr<IStorage> Storage(const std::vector<std::u16string>& storages) {
    ComPtr<IStorage> cur = root_;
    for (const std::u16string& s : storages) {
      ComPtr<IStorage> next;
      if (FAILED(cur->OpenStorage(s.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                  next.ReleaseAndGetAddressOf()))) {
        return {};
      }
      cur = next;
    }
    return cur;
  }
  // The bytes of a stream; nothing (and `found` false) when it is not there.
  std::vector<BYTE> Stream(const std::vector<std::u16string>& storages, const std::u16string& stream,
                           bool* found = nullptr) {
    std::vector<BYTE> out;
    if (found) *found = false;
    ComPtr<IStorage> stg = Storage(storages);
    if (!stg) return out;
    ComPtr<IStream> s;
    if (FAILED(stg->OpenStream(stream.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                               s.ReleaseAndGetAddressOf()))) {
      return out;
    }
    if (found) *found = true;
    BYTE buf[4096];
    ULONG got = 0;
    do {
      got = 0;
      s->Read(buf, sizeof buf, &got);
      out.insert(out.end(), buf, buf + got);
    } while (got == sizeof buf);
    return out;
  }
  // Element names of a storage, in the container's order, with "/" after storages.
  std::vector<std::u16string> List(const std::vector<std::u16string>& storages) {
    std::vector<std::u16string> names;
    ComPtr<IStorage> stg = Storage(storages);
    if (!stg) return names;
    ComPtr<IEnumSTATSTG> en;
    if (FAILED(stg->EnumElements(0, nullptr, 0, en.ReleaseAndGetAddressOf()))) return names;
    STATSTG st;
    ULONG got;
    while (en->Next(1, &st, &got) == S_OK && got == 1) {
      std::u16string n(st.pwcsName);
      if (st.type == STGTY_STORAGE) n += u'/';
      names.push_back(std::move(n));
      std::free(st.pwcsName);
    }
    return names;
  }

 private:
  ComPtr<IStorage> root_;
  HRESULT hr_;
};

// A stream of a closed catalog, opened for writing so that a test can damage it:
// `file`/`storage`/`stream`. The file stays open while this lives.
class DamagedStream {
 public:
  DamagedStream(const std::u16string& file, const std::u16string& storage, const std::u16string& stream) {
    const DWORD rw = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    if (FAILED(StgOpenStorage(file.c_str(), nullptr, rw, nullptr, 0, root_.ReleaseAndGetAddressOf()))) return;
    if (FAILED(root_->OpenStorage(storage.c_str(), nullptr, rw, nullptr, 0, storage_.ReleaseAndGetAddressOf()))) return;
    storage_->OpenStream(stream.c_str(), nullptr, rw, 0, stream_.ReleaseAndGetAddressOf());
  }
  bool ok() const { return static_cast<bool>(stream_); }
  HRESULT Write(const std::vector<BYTE>& bytes) {
    ULONG n;
    return stream_->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &n);
  }
  HRESULT Cut(ULONGLONG size) {
    ULARGE_INTEGER n;
    n.QuadPart = size;
    return stream_->SetSize(n);
  }

 private:
  ComPtr<IStorage> root_, storage_;
  ComPtr<IStream> stream_;
};

inline std::vector<BYTE> LE16(WORD v) { return {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8)}; }

}  // namespace testutil
