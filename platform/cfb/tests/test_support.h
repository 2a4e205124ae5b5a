// Helpers shared by the compound-file tests: temporary folders, UTF-16 names, and an owning
// pointer for the layer's objects.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cfb.h"
#include "testing_files/test_support.h"

namespace cfbtest {

inline std::u16string U(const std::string& s) { return std::u16string(s.begin(), s.end()); }
inline std::string A(const std::u16string& s) { return std::string(s.begin(), s.end()); }

template <class T>
class Ptr {
 public:
  Ptr() = default;
  explicit Ptr(T* p) : p_(p) {}
  Ptr(const Ptr&) = delete;
  Ptr& operator=(const Ptr&) = delete;
  Ptr(Ptr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  Ptr& operator=(Ptr&& o) noexcept {
    if (this != &o) { reset(); p_ = o.p_; o.p_ = nullptr; }
    return *this;
  }
  ~Ptr() { reset(); }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  T** out() { reset(); return &p_; }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

class TempDir {
 public:
  std::string file(const std::string& name) const { return (path() / name).string(); }
  const std::filesystem::path& path() const { return dir_.path(); }

 private:
  testing_files::ScratchFolder dir_{"cfbtest"};
};

inline constexpr DWORD kCreateFile = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;  // 0x1012
inline constexpr DWORD kOpenRW = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;                    // 0x12
inline constexpr DWORD kOpenRead = STGM_READ | STGM_SHARE_EXCLUSIVE;                        // 0x10
inline constexpr DWORD kCreateStream = STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE;    // 0x1011

inline Ptr<IStorage> Create(const std::string& path, HRESULT expect = S_OK) {
  Ptr<IStorage> s;
  std::u16string p = U(path);
  EXPECT_EQ(StgCreateDocfile(p.c_str(), kCreateFile, 0, s.out()), expect) << path;
  return s;
}

inline Ptr<IStorage> Open(const std::string& path, DWORD mode = kOpenRW, HRESULT expect = S_OK) {
  Ptr<IStorage> s;
  std::u16string p = U(path);
  EXPECT_EQ(StgOpenStorage(p.c_str(), nullptr, mode, nullptr, 0, s.out()), expect) << path;
  return s;
}

inline void PutStream(IStorage* stg, const std::string& name, const std::string& data) {
  Ptr<IStream> s;
  std::u16string n = U(name);
  ASSERT_EQ(stg->CreateStream(n.c_str(), kCreateStream, 0, 0, s.out()), S_OK) << name;
  ULONG done = 0;
  ASSERT_EQ(s->Write(data.data(), static_cast<ULONG>(data.size()), &done), S_OK);
  ASSERT_EQ(done, data.size());
}

inline std::string GetStream(IStorage* stg, const std::string& name, HRESULT expect = S_OK) {
  Ptr<IStream> s;
  std::u16string n = U(name);
  EXPECT_EQ(stg->OpenStream(n.c_str(), nullptr, kOpenRead, 0, s.out()), expect) << name;
  if (!s) return {};
  STATSTG st{};
  EXPECT_EQ(s->Stat(&st, STATFLAG_NONAME), S_OK);
  std::string data(static_cast<std::size_t>(st.cbSize.QuadPart), '\0');
  ULONG got = 0;
  EXPECT_EQ(s->Read(data.data(), static_cast<ULONG>(data.size()), &got), S_OK);
  EXPECT_EQ(got, data.size());
  return data;
}

inline Ptr<IStorage> SubStorage(IStorage* stg, const std::string& name, bool create) {
  Ptr<IStorage> s;
  std::u16string n = U(name);
  HRESULT hr = create ? stg->CreateStorage(n.c_str(), kCreateFile, 0, 0, s.out())
                      : stg->OpenStorage(n.c_str(), nullptr, kOpenRW, nullptr, 0, s.out());
  EXPECT_EQ(hr, S_OK) << name;
  return s;
}

struct Listed {
  std::string name;
  DWORD type;
  ULONGLONG size;
  bool operator==(const Listed&) const = default;
};

inline std::vector<Listed> List(IStorage* stg) {
  std::vector<Listed> out;
  Ptr<IEnumSTATSTG> e;
  EXPECT_EQ(stg->EnumElements(0, nullptr, 0, e.out()), S_OK);
  if (!e) return out;
  STATSTG st;
  ULONG n;
  while (e->Next(1, &st, &n) == S_OK && n == 1) {
    out.push_back({A(st.pwcsName), st.type, st.cbSize.QuadPart});
    std::free(st.pwcsName);
  }
  return out;
}

// The whole tree as path -> content ("/" marks a storage).
inline void Dump(IStorage* stg, const std::string& prefix, std::map<std::string, std::string>& out) {
  for (const Listed& l : List(stg)) {
    std::string p = prefix + l.name;
    if (l.type == STGTY_STREAM) {
      out[p] = GetStream(stg, l.name);
    } else {
      out[p + "/"] = "";
      Ptr<IStorage> sub;
      std::u16string n = U(l.name);
      ASSERT_EQ(stg->OpenStorage(n.c_str(), nullptr, kOpenRead, nullptr, 0, sub.out()), S_OK);
      Dump(sub.get(), p + "/", out);
    }
  }
}

inline std::map<std::string, std::string> DumpFile(const std::string& path) {
  std::map<std::string, std::string> out;
  Ptr<IStorage> root = Open(path, kOpenRead);
  if (root) Dump(root.get(), "", out);
  return out;
}

}  // namespace cfbtest
