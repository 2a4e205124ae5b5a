// Fixtures for the disk scanner's tests: a temporary folder with a program folder, a catalog
// path and media served as fixture drives; trees built on a medium; the catalog read back as
// a map of paths to records.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "cfb.h"
#include "itemstream.h"
#include "ofilegraber.h"
#include "ostorage.h"
#include "testing_files/test_support.h"
#include "unicode.h"
#include "volumes.h"
#include "volumes_fixture.h"
#include "xcom/com.h"
#include "xcom/tokens.h"

namespace scanner_test {

namespace fs = std::filesystem;
using xcom::Bstr;
using xcom::ComPtr;
using xcom::Variant;

// Names and paths as a disk has them: a byte that is not UTF-8 is kept (as a lone surrogate).
inline std::u16string U(const std::string& s) { return unicode::Utf8ToUtf16(s, unicode::Policy::kLossless); }
inline std::string N(std::u16string_view s) { return unicode::Utf16ToUtf8(s, unicode::Policy::kLossless); }

inline void WriteFile(const fs::path& path, size_t bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << std::string(bytes, 'x');
}

// Sets a file's or folder's last-write time (seconds since 1970), links not followed.
inline void SetMtime(const fs::path& path, long seconds) {
  struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// What the catalog holds for one item, as the tests compare it.
struct Item {
  LONG kind = 0;
  std::uint64_t size = 0;
  brevix::CountedString note;
  FILETIME timeA{};
  FILETIME timeB{};
  double serial = 0;
  std::uint64_t freeSpace = 0;
  std::u16string typeText;
};
// Catalog path ("Disk/Folder/file") to item.
using Catalog = std::map<std::string, Item>;

namespace detail {
inline Catalog* g_reading = nullptr;
inline LONG CollectRecord(BSTR folderPath, ItemRecord* r, LONG) {
  std::string path = N(xcom::BstrView(folderPath));
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (!path.empty()) path += '/';
  path += N(r->name);
  Item it;
  it.kind = r->kind;
  it.size = r->Size();
  it.note = r->note;
  it.timeA = r->timeA;
  it.timeB = r->timeB;
  it.serial = r->serial;
  it.freeSpace = r->FreeSpace();
  it.typeText = r->typeText;
  (*g_reading)[path] = it;
  return 0;
}
}  // namespace detail

// Every disk, folder and file of a closed catalog, read through a document of its own.
inline Catalog ReadCatalog(const std::string& file) {
  Catalog out;
  ComPtr<IOStorageInternal> doc;
  EXPECT_EQ(brevix::NewCatalogDocument(&doc), S_OK);
  EXPECT_EQ(doc->LoadDoc(Bstr(U(file)).Get()), S_OK);
  xcom::ScopedToken token(xcom::TokenKind::ItemRecordCallback, &detail::CollectRecord);
  detail::g_reading = &out;
  EXPECT_EQ(doc->FindItem(nullptr, nullptr, nullptr, 0, 0, 0, 0, -token.value()), S_OK);
  detail::g_reading = nullptr;
  doc->CloseDoc(0);
  return out;
}

inline double HeaderBase(const std::string& file) {
  ComPtr<IOStorageInternal> doc;
  EXPECT_EQ(brevix::NewCatalogDocument(&doc), S_OK);
  EXPECT_EQ(doc->LoadDoc(Bstr(U(file)).Get()), S_OK);
  double base = -99;
  doc->get_BaseSerialNum(&base);
  doc->CloseDoc(0);
  return base;
}

inline std::string Label(const fs::path& medium) {
  std::ifstream in(medium / ".xendora-label");
  std::string line;
  std::getline(in, line);
  return line;
}

inline LONG IntOf(const VARIANT& v) { return v.vt == VT_I4 ? v.lVal : -12345; }

// Each test gets a temporary folder holding the program folder, the catalog path and its
// media, and sees no drive of the machine.
class ScannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(tmp_ / "home");
    ::setenv("XENDORA_HOME", (tmp_ / "home").c_str(), 1);
    volumes::testing::IsolateFromMachine();
    catalog_ = (tmp_ / "cat.dkc").string();
    ASSERT_EQ(brevix::NewFileGraber(&scanner_), S_OK);
    ASSERT_EQ(scanner_->put_DocFileName(Bstr(U(catalog_)).Get()), S_OK);
  }
  void TearDown() override {
    scanner_ = nullptr;
    drives_.clear();
    volumes::testing::ResetMachineSources();
    ::unsetenv("XENDORA_HOME");
  }

  // A medium folder served as drive `letter`; its label file written when a label is given.
  volumes::testing::FixtureDrive& Drive(char letter, UINT type = DRIVE_REMOVABLE, const std::string& label = "-") {
    fs::path folder = tmp_ / (std::string("drive_") + letter);
    fs::create_directories(folder);
    if (label != "-") {
      std::ofstream(folder / ".xendora-label") << label << "\n";
    }
    drives_.push_back(std::make_unique<volumes::testing::FixtureDrive>(letter, type, folder));
    return *drives_.back();
  }
  fs::path Medium(char letter) const { return tmp_ / (std::string("drive_") + letter); }
  static Bstr Root(char letter) { return Bstr(U(std::string(1, letter) + ":\\")); }

  HRESULT Add(char letter, const std::string& name, double base = -1.0, SHORT flag = 0, VARIANT* data = nullptr,
              const char16_t* category = nullptr, const char16_t* descrip = u"desc") {
    scanner_->put_BaseSerialNum(base);
    scanner_->put_DiskType(Bstr(u"Zip Disk").Get());
    Variant local;
    return scanner_->AddNewDisk(Root(letter).Get(), Bstr(U(name)).Get(), descrip ? Bstr(descrip).Get() : nullptr,
                                data ? data : &local, flag, category ? Bstr(category).Get() : nullptr);
  }
  HRESULT Update(char letter, SHORT flag = 0, VARIANT* data = nullptr) {
    Variant local;
    return scanner_->UpdateDisk(Root(letter).Get(), flag, data ? data : &local);
  }

  testing_files::ScratchFolder scratch_{"scanner-test"};
  const fs::path tmp_ = scratch_.path();
  std::string catalog_;
  ComPtr<IOFileGraber> scanner_;
  std::vector<std::unique_ptr<volumes::testing::FixtureDrive>> drives_;
};

}  // namespace scanner_test
