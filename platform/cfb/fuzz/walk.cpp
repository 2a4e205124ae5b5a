// The walk hostile compound files get: read everything, change it, read it again.
#include "walk.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cfb.h"
#include "docfile.h"

namespace cfbfuzz {
namespace {

struct Walker {
  HRESULT first = S_OK;
  bool Note(HRESULT hr) {
    if (FAILED(hr) && first == S_OK) first = hr;
    return SUCCEEDED(hr);
  }

  void Storage(IStorage* stg, int depth, bool change) {
    if (depth > 40) return;
    STATSTG self{};
    if (Note(stg->Stat(&self, STATFLAG_DEFAULT))) std::free(self.pwcsName);
    IEnumSTATSTG* e = nullptr;
    if (!Note(stg->EnumElements(0, nullptr, 0, &e))) return;
    std::vector<std::u16string> storages, streams;
    STATSTG st;
    ULONG n;
    while (e->Next(1, &st, &n) == S_OK && n == 1) {
      (st.type == STGTY_STORAGE ? storages : streams).push_back(st.pwcsName);
      std::free(st.pwcsName);
    }
    e->Release();
    DWORD mode = change ? (STGM_READWRITE | STGM_SHARE_EXCLUSIVE) : STGM_SHARE_EXCLUSIVE;
    for (const auto& name : streams) {
      IStream* s = nullptr;
      if (!Note(stg->OpenStream(name.c_str(), nullptr, mode, 0, &s))) continue;
      char buf[4096];
      ULONG got = 0;
      HRESULT hr;
      std::size_t total = 0;
      while ((hr = s->Read(buf, sizeof buf, &got)) == S_OK && got > 0 && total < (64u << 20)) total += got;
      Note(hr);
      if (change) {
        LARGE_INTEGER mid;
        mid.QuadPart = static_cast<LONGLONG>(total / 2);
        Note(s->Seek(mid, STREAM_SEEK_SET, nullptr));
        Note(s->Write("changed", 7, nullptr));
        ULARGE_INTEGER size;
        size.QuadPart = total / 3;
        Note(s->SetSize(size));
      }
      s->Release();
    }
    for (const auto& name : storages) {
      IStorage* sub = nullptr;
      if (!Note(stg->OpenStorage(name.c_str(), nullptr, mode, nullptr, 0, &sub))) continue;
      Storage(sub, depth + 1, change);
      sub->Release();
    }
    if (change) {
      IStream* s = nullptr;
      if (Note(stg->CreateStream(u"added by walk", STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &s))) {
        std::string data(5000, 'w');
        Note(s->Write(data.data(), static_cast<ULONG>(data.size()), nullptr));
        s->Release();
      }
      if (!streams.empty()) Note(stg->RenameElement(streams.front().c_str(), u"renamed by walk"));
      if (streams.size() > 1) Note(stg->DestroyElement(streams.back().c_str()));
      if (!storages.empty()) Note(stg->DestroyElement(storages.back().c_str()));
    }
  }
};

}  // namespace

HRESULT Walk(const std::string& path, bool change) {
  std::u16string p(path.begin(), path.end());
  IStorage* root = nullptr;
  DWORD mode = STGM_SHARE_EXCLUSIVE | (change ? STGM_READWRITE : STGM_READ);
  HRESULT hr = StgOpenStorage(p.c_str(), nullptr, mode, nullptr, 0, &root);
  if (FAILED(hr)) return hr;
  Walker w;
  w.Storage(root, 0, change);
  if (change) w.Note(root->Commit(STGC_DEFAULT));
  root->Release();
  return w.first;
}

std::string ScratchInput(const std::uint8_t* data, std::size_t size, const std::string& name) {
  static const std::string dir = [] {
    std::string templ = (std::filesystem::temp_directory_path() / "cfbfuzz-XXXXXX").string();
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back(0);
    return std::string(::mkdtemp(buf.data()));
  }();
  const std::string path = dir + "/" + name;
  RemoveScratch(path);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path;
}

void RemoveScratch(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
  std::filesystem::remove(path + "-journal", ec);
}

void RunOne(const std::uint8_t* data, std::size_t size) {
  cfb::Docfile::SetDirtyBudget(4096);  // small inputs write out early too
  const std::string path = ScratchInput(data, size, "input.cfb");
  Walk(path, false);
  Walk(path, true);
  Walk(path, false);  // what the change left must open and walk as well
  RemoveScratch(path);
}

}  // namespace cfbfuzz
