// The registry file: keys and values, letter case, persistence, corruption and concurrent
// writers.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "test_support.h"
#include "xcom/registry.h"

namespace {

// A string value, or "<error N>".
std::string Query(HKEY root, const char* key, const char* value) {
  HKEY h{};
  LONG e = RegOpenKeyExA(root, key, 0, KEY_READ, &h);
  if (e != ERROR_SUCCESS) return "<error " + std::to_string(e) + ">";
  DWORD type = 0, size = 0;
  e = RegQueryValueExA(h, value, nullptr, &type, nullptr, &size);
  std::string out;
  if (e == ERROR_SUCCESS && type == REG_SZ) {
    std::string buf(size, '\0');
    e = RegQueryValueExA(h, value, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size);
    out = buf.substr(0, size ? size - 1 : 0);
  }
  RegCloseKey(h);
  return e == ERROR_SUCCESS ? out : "<error " + std::to_string(e) + ">";
}

LONG SetString(HKEY root, const char* key, const char* value, const std::string& text) {
  HKEY h{};
  LONG e = RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
  if (e != ERROR_SUCCESS) return e;
  e = RegSetValueExA(h, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
  RegCloseKey(h);
  return e;
}

TEST(XcomRegistry, KeysAndValuesIgnoreLetterCase) {
  TempRegistry reg;
  HKEY h{};
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Xendora\\Test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  const char text[] = "C:\\Xendora";
  ASSERT_EQ(RegSetValueExA(h, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text), ERROR_SUCCESS);
  DWORD five = 5;
  ASSERT_EQ(RegSetValueExA(h, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&five), 4), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("default"), 8), ERROR_SUCCESS);
  RegCloseKey(h);

  HKEY again{};
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\xendora\\TEST", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(again);

  EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, "software\\XENDORA\\test", "path"), "C:\\Xendora");
  EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, "Software\\Xendora\\Test", ""), "default");
  EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, "Software\\Xendora\\Test", "Missing"), "<error 2>");
  EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, "Software\\Xendora\\Other", ""), "<error 2>");
  EXPECT_EQ(Query(HKEY_CLASSES_ROOT, "Software\\Xendora\\Test", ""), "<error 2>");

  HKEY r{};
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Xendora\\Test", 0, KEY_READ, &r), ERROR_SUCCESS);
  DWORD type = 0, n = 0, size = sizeof n;
  EXPECT_EQ(RegQueryValueExA(r, "COUNT", nullptr, &type, reinterpret_cast<BYTE*>(&n), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(n, 5u);
  char small[4];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(r, "Path", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof text);
  // A key opened for reading takes no writes.
  EXPECT_EQ(RegSetValueExA(r, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_ACCESS_DENIED);
  RegCloseKey(r);

  // The file keeps the case the key was first written in, and no scratch file is left.
  std::string file = reg.Text();
  EXPECT_EQ(file.rfind("XCOM REGISTRY 1\n", 0), 0u);
  EXPECT_NE(file.find("[HKEY_LOCAL_MACHINE\\Software\\Xendora\\Test]"), std::string::npos);
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(reg.dir())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 2);  // the registry and its lock file
}

TEST(XcomRegistry, RefusesBadNamesAndHandles) {
  TempRegistry reg;
  HKEY h{};
  const std::string tooLong(256, 'k');
  for (const char* bad : {"a\\\\b", "\\a", "a\\", "tab\there", tooLong.c_str()}) {
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, bad, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_INVALID_PARAMETER)
        << bad;
  }
  EXPECT_EQ(RegOpenKeyExA(HKEY{0x1234}, "x", 0, KEY_READ, &h), ERROR_INVALID_HANDLE);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "k", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(h, "v", 0, 3 /* binary */, reinterpret_cast<const BYTE*>("x"), 1), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(h, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>("xy"), 2), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(h), ERROR_INVALID_HANDLE);
}

TEST(XcomRegistry, DeletingKeys) {
  TempRegistry reg;
  ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, "A\\B\\C", "", "leaf"), ERROR_SUCCESS);
  HKEY b{};
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "A\\B", 0, KEY_READ, &b), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "A"), ERROR_ACCESS_DENIED);  // has subkeys
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "A\\B\\C"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "A\\B\\C"), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, "A\\B\\D", "x", "1"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "a"), ERROR_SUCCESS);
  EXPECT_EQ(Query(HKEY_CLASSES_ROOT, "A", ""), "<error 2>");
  // A handle to a key that is gone.
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(b, "", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  RegCloseKey(b);
}

TEST(XcomRegistry, ValuesSurviveTheFileAndChangesByOthersAreSeen) {
  TempRegistry reg;
  const std::string awkward = "line one\nline \"two\"\t\\ end \x01";
  ASSERT_EQ(SetString(HKEY_CLASSES_ROOT, "Odd]Key [x]", "name \"quoted\"", awkward), ERROR_SUCCESS);
  std::string saved = reg.Text();

  // Another process rewrites the file: the next read sees its content.
  reg.Write("XCOM REGISTRY 1\n[HKEY_CLASSES_ROOT\\Other]\n@=\"theirs\"\n");
  EXPECT_EQ(Query(HKEY_CLASSES_ROOT, "Other", ""), "theirs");
  EXPECT_EQ(Query(HKEY_CLASSES_ROOT, "Odd]Key [x]", "name \"quoted\""), "<error 2>");

  reg.Write(saved);
  EXPECT_EQ(Query(HKEY_CLASSES_ROOT, "odd]key [X]", "NAME \"quoted\""), awkward);
}

TEST(XcomRegistry, ACorruptFileIsReportedAndNotOverwritten) {
  TempRegistry reg;
  const std::string garbage = "XCOM REGISTRY 1\n[HKEY_NOWHERE\\x]\n@=broken\n";
  reg.Write(garbage);
  HKEY h{};
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "x", 0, KEY_READ, &h), ERROR_BADDB);
  EXPECT_EQ(SetString(HKEY_CLASSES_ROOT, "y", "", "new"), ERROR_BADDB);
  EXPECT_EQ(reg.Text(), garbage);

  for (const char* bad : {"not a registry\n", "XCOM REGISTRY 1\n@=\"value before any key\"\n",
                          "XCOM REGISTRY 1\n[HKEY_CLASSES_ROOT\\a]\n\"v\"=dword:123\n",
                          "XCOM REGISTRY 1\n[HKEY_CLASSES_ROOT\\a]\n\"v\"=\"unterminated\n"}) {
    reg.Write(bad);
    EXPECT_EQ(Query(HKEY_CLASSES_ROOT, "a", "v"), "<error 1009>") << bad;
  }
}

TEST(XcomRegistry, ConcurrentWritersLoseNothing) {
  TempRegistry reg;
  constexpr int kWriters = 3;
  constexpr int kKeys = 20;
  pid_t children[kWriters];
  for (int w = 0; w < kWriters; ++w) {
    children[w] = ::fork();
    ASSERT_GE(children[w], 0);
    if (children[w] == 0) {
      bool ok = true;
      for (int k = 0; k < kKeys; ++k) {
        std::string key = "Writer" + std::to_string(w) + "\\Key" + std::to_string(k);
        ok = ok && SetString(HKEY_CLASSES_ROOT, key.c_str(), "", "v") == ERROR_SUCCESS;
      }
      ::_exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int w = 0; w < kWriters; ++w) {
    for (int k = 0; k < kKeys; ++k) {
      std::string key = "Writer" + std::to_string(w) + "\\Key" + std::to_string(k);
      EXPECT_EQ(Query(HKEY_CLASSES_ROOT, key.c_str(), ""), "v") << key;
    }
  }
}

}  // namespace
