// A catalog written through the document, read back by an independent compound-file reader
// (python3-olefile): every stream it finds has the bytes our own layer reads, and the
// streams the format fixes have their exact layouts.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>

#include "catalogformat.h"
#include "test_support.h"

using namespace testutil;

namespace {

std::string Hex(const std::vector<BYTE>& b) {
  static const char* d = "0123456789abcdef";
  std::string s;
  for (BYTE x : b) {
    s += d[x >> 4];
    s += d[x & 15];
  }
  return s;
}

// Stream path ("Disk A/New/FLD~~1") to hex bytes, and storage paths ending in "/".
std::map<std::string, std::string> DumpWithOlefile(const std::string& file) {
  std::map<std::string, std::string> out;
  std::string cmd = "/usr/bin/python3 " DUMP_SCRIPT " '" + file + "'";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  EXPECT_EQ(pclose(p), 0) << text;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    size_t tab = line.find('\t');
    if (tab != std::string::npos) out[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return out;
}

}  // namespace

TEST(Olefile, CatalogStreamsReadTheSameByAnIndependentReader) {
  TempDir dir;
  std::u16string path = dir.File16("cat.dkc");
  ComPtr<IOStorageInternal> doc = NewDoc();
  ASSERT_EQ(doc->LoadDoc(Bstr(path).Get()), S_OK);
  ASSERT_EQ(Add(doc.Get(), u"", Disk(u"Disk A", 42, u"Floppy Disk", 1457664, 512, u"desc")), S_OK);
  ASSERT_EQ(Add(doc.Get(), u"Disk A", Folder(u"New", 7)), S_OK);
  ASSERT_EQ(Add(doc.Get(), u"Disk A/New", File(std::u16string(31, u'a'), 1)), S_OK);
  ASSERT_EQ(Add(doc.Get(), u"Disk A/New", File(std::u16string(32, u'b'), 2, u"")), S_OK);
  ASSERT_EQ(Add(doc.Get(), u"Disk A/New", File(std::u16string(33, u'c'), 3)), S_OK);
  ASSERT_EQ(doc->DeleteFile(nullptr, Bstr(std::u16string(32, u'b')).Get()), S_OK);
  ASSERT_EQ(Add(doc.Get(), u"Disk A", File(u"R\u00e9sum\u00e9.doc", 4096, u"note")), S_OK);
  ASSERT_EQ(Add(doc.Get(), u"Disk A", Folder(u"Empty note", 0, u"")), S_OK);
  ASSERT_EQ(Add(doc.Get(), u"Disk A/Empty note", File(std::u16string(40, u'e'), 1)), S_OK);
  ASSERT_EQ(doc->DeleteFile(nullptr, Bstr(std::u16string(40, u'e')).Get()), S_OK);
  ASSERT_EQ(doc->CloseDoc(1), S_OK);

  std::map<std::string, std::string> ole = DumpWithOlefile(Narrow(path));
  ASSERT_FALSE(ole.empty());

  // The format's fixed layouts, as the independent reader sees them.
  EXPECT_EQ(ole["J_R_X_"], Hex(brevix::EncodeHeader(brevix::CatalogHeader{})));
  EXPECT_EQ(ole["J_R_X_"].size(), 48u);  // 24 bytes
  EXPECT_EQ(ole["Disk A/I_T_E_M_"].size(), 2u * (48 + 4 + 22 + 2 + 4 + 8 + 2));
  EXPECT_EQ(ole["Disk A/New/I_T_E_M_"].size(), 2u * 36);
  EXPECT_EQ(ole["Disk A/New/" + std::string(31, 'a')].size(), 2u * 36);
  brevix::LongNameMapImage map;
  map.lastId = 2;
  map.entries = {{std::u16string(33, u'c'), 2}};
  EXPECT_EQ(ole["Disk A/New/N_~~LNG"], Hex(brevix::EncodeLongNameMap(map)));
  EXPECT_EQ(ole["Disk A/New/FLD~~2"], Hex(brevix::EncodeItemRecord(File(std::u16string(33, u'c'), 3))));
  EXPECT_EQ(ole.count("Disk A/New/FLD~~1"), 0u);
  EXPECT_EQ(ole["Disk A/Empty note/I_T_E_M_"].size(), 2u * 38);
  EXPECT_EQ(ole.count("Disk A/Empty note/N_~~LNG"), 0u);  // its only long name is gone
  EXPECT_EQ(ole.count("Disk A/Empty note/FLD~~1"), 0u);
  EXPECT_EQ(ole.count("Disk A/New/"), 1u);

  // Every stream the independent reader lists reads the same through our layer.
  RawFile raw(path);
  ASSERT_EQ(raw.status(), S_OK);
  size_t streams = 0;
  for (const auto& [name, hex] : ole) {
    if (name.back() == '/') continue;
    std::vector<std::u16string> parts;
    std::string rest = name;
    size_t slash;
    while ((slash = rest.find('/')) != std::string::npos) {
      parts.push_back(xcom::Utf8ToUtf16(rest.substr(0, slash)));
      rest = rest.substr(slash + 1);
    }
    bool found = false;
    EXPECT_EQ(Hex(raw.Stream(parts, xcom::Utf8ToUtf16(rest), &found)), hex) << name;
    EXPECT_TRUE(found) << name;
    ++streams;
  }
  EXPECT_EQ(streams, 8u);
}
