// The component registry: the in-memory tree kept in step with its file, under a lock shared
// by every process, and the registry functions and server registration over it.
#include "xcom/registry.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "internal.h"
#include "programfolder.h"
#include "registry_internal.h"
#include "regtree.h"
#include "xcom/com.h"

namespace fs = std::filesystem;

namespace {

using namespace xcom::regtree;

// ---------------------------------------------------------------------------------------------
// The store

struct Stamp {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  long long mtimeNs = 0;
  bool operator==(const Stamp&) const = default;
};

Stamp StampOf(const struct stat& st) {
  Stamp s;
  s.exists = true;
  s.dev = st.st_dev;
  s.ino = st.st_ino;
  s.size = st.st_size;
  s.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  return s;
}

Stamp StampOf(const fs::path& p) {
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) return Stamp{};
  return StampOf(st);
}

struct Handle {
  int root;
  Path path;
  REGSAM sam;
};

class Store {
 public:
  static Store& Get() {
    static Store* store = new Store;  // lives to the end of the process, past static destructors
    return *store;
  }

  std::mutex mu;
  Tree tree;
  bool corrupt = false;
  std::unordered_map<std::uintptr_t, Handle> handles;
  std::uintptr_t nextHandle = 0x1000;

  // With mu held: reads the file again when it is another file or has changed.
  void Refresh() {
    fs::path p = xcom::RegistryFile();
    Stamp st = StampOf(p);
    if (loaded_ && p == file_ && st == stamp_) return;
    Load(p);
  }

  void Invalidate() { loaded_ = false; }

  // With mu held and the file lock taken: writes the tree to the file atomically.
  LONG Save() {
    const std::string text = Format(tree);
    fs::path tmp = file_;
    tmp += ".tmp." + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    std::size_t done = 0;
    while (ok && done < text.size()) {
      ssize_t n = ::write(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ok = false;
      else done += static_cast<std::size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (fd >= 0 && ::close(fd) != 0) ok = false;
    if (ok && ::rename(tmp.c_str(), file_.c_str()) != 0) ok = false;
    if (!ok) {
      ::unlink(tmp.c_str());
      Invalidate();  // the next access reads what the file holds
      return ERROR_CANTWRITE;
    }
    fs::path dir = file_.parent_path();
    if (dir.empty()) dir = ".";
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
      ::fsync(dfd);
      ::close(dfd);
    }
    stamp_ = StampOf(file_);
    return ERROR_SUCCESS;
  }

  const fs::path& file() const { return file_; }

 private:
  void Load(const fs::path& p) {
    file_ = p;
    loaded_ = true;
    corrupt = false;
    tree = Tree{};
    stamp_ = Stamp{};
    int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      if (errno != ENOENT) corrupt = true;
      return;
    }
    struct stat st;
    std::string text;
    bool ok = ::fstat(fd, &st) == 0;
    if (ok) {
      stamp_ = StampOf(st);
      char buf[65536];
      while (true) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        text.append(buf, static_cast<std::size_t>(n));
      }
    }
    ::close(fd);
    if (!ok || !Parse(text, &tree)) {
      tree = Tree{};
      corrupt = true;
    }
  }

  fs::path file_;
  Stamp stamp_;
  bool loaded_ = false;
};

// One change of the registry: the process lock, the file lock shared with other processes,
// the file read again under it; Commit writes the result.
class WriteTxn {
 public:
  explicit WriteTxn(Store& s) : s_(s), lock_(s.mu) {
    fs::path p = xcom::RegistryFile();
    std::error_code ec;
    if (p.has_parent_path()) fs::create_directories(p.parent_path(), ec);
    fs::path lockPath = p;
    lockPath += ".lock";
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
      status_ = ERROR_CANTWRITE;
      return;
    }
    int r;
    do {
      r = ::flock(fd_, LOCK_EX);
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
      status_ = ERROR_CANTWRITE;
      return;
    }
    s_.Refresh();
    if (s_.corrupt) status_ = ERROR_BADDB;
  }
  ~WriteTxn() {
    if (!committed_) s_.Invalidate();  // changes not written are dropped
    if (fd_ >= 0) ::close(fd_);        // releases the file lock
  }
  WriteTxn(const WriteTxn&) = delete;
  WriteTxn& operator=(const WriteTxn&) = delete;

  LONG status() const { return status_; }
  // Nothing was changed: the tree stays as read.
  void Unchanged() { committed_ = true; }
  LONG Commit() {
    committed_ = true;
    if (status_ != ERROR_SUCCESS) return status_;
    return s_.Save();
  }

 private:
  Store& s_;
  std::unique_lock<std::mutex> lock_;
  int fd_ = -1;
  LONG status_ = ERROR_SUCCESS;
  bool committed_ = false;
};

// What a handle names, with the mutex held.
LONG Resolve(Store& s, HKEY h, int* root, const Path** path, REGSAM* sam) {
  static const Path kEmpty;
  int r = RootIndex(h);
  if (r >= 0) {
    *root = r;
    *path = &kEmpty;
    *sam = KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  auto it = s.handles.find(static_cast<std::uintptr_t>(h));
  if (it == s.handles.end()) return ERROR_INVALID_HANDLE;
  *root = it->second.root;
  *path = &it->second.path;
  *sam = it->second.sam;
  return ERROR_SUCCESS;
}

// The key a handle names, or the error for a stale or invalid handle.
LONG KeyOf(Store& s, HKEY h, REGSAM need, Key** key, int* root = nullptr, Path* path = nullptr) {
  int r;
  const Path* p;
  REGSAM sam;
  LONG e = Resolve(s, h, &r, &p, &sam);
  if (e != ERROR_SUCCESS) return e;
  if ((sam & need) != need) return ERROR_ACCESS_DENIED;
  *key = FindKey(s.tree.roots[r], *p);
  if (!*key) return ERROR_KEY_DELETED;
  if (root) *root = r;
  if (path) *path = *p;
  return ERROR_SUCCESS;
}

HKEY NewHandle(Store& s, int root, Path path, REGSAM sam) {
  std::uintptr_t id = s.nextHandle++;
  s.handles.emplace(id, Handle{root, std::move(path), sam});
  return HKEY{id};
}

std::string_view NameOf(const char* s) { return s ? std::string_view(s) : std::string_view(); }

// Runs change on the key a handle names, in one write of the registry; the write is kept when
// change answers ERROR_SUCCESS.
template <class Change>
LONG ChangeKey(HKEY hKey, REGSAM need, Change change) {
  Store& s = Store::Get();
  WriteTxn txn(s);
  if (txn.status() != ERROR_SUCCESS) return txn.status();
  Key* k;
  LONG e = KeyOf(s, hKey, need, &k);
  if (e != ERROR_SUCCESS) return e;
  e = change(*k);
  return e == ERROR_SUCCESS ? txn.Commit() : e;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The system's functions

LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = HKEY{};
  Path sub;
  if (!SplitPath(NameOf(lpSubKey), &sub)) return ERROR_INVALID_PARAMETER;
  Store& s = Store::Get();
  std::lock_guard<std::mutex> lock(s.mu);
  s.Refresh();
  if (s.corrupt) return ERROR_BADDB;
  Key* base;
  int root;
  Path path;
  LONG e = KeyOf(s, hKey, 0, &base, &root, &path);
  if (e != ERROR_SUCCESS) return e;
  if (!FindKey(*base, sub)) return ERROR_FILE_NOT_FOUND;
  path.insert(path.end(), sub.begin(), sub.end());
  *phkResult = NewHandle(s, root, std::move(path), samDesired);
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD, char*, DWORD, REGSAM samDesired, void*,
                     PHKEY phkResult, DWORD* lpdwDisposition) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = HKEY{};
  Path sub;
  if (!SplitPath(NameOf(lpSubKey), &sub)) return ERROR_INVALID_PARAMETER;
  Store& s = Store::Get();
  WriteTxn txn(s);
  if (txn.status() != ERROR_SUCCESS) return txn.status();
  Key* base;
  int root;
  Path path;
  LONG e = KeyOf(s, hKey, sub.empty() ? 0 : KEY_CREATE_SUB_KEY, &base, &root, &path);
  if (e != ERROR_SUCCESS) return e;
  bool created = false;
  CreateKey(*base, sub, &created);
  if (created) {
    e = txn.Commit();
    if (e != ERROR_SUCCESS) return e;
  } else {
    txn.Unchanged();
  }
  path.insert(path.end(), sub.begin(), sub.end());
  *phkResult = NewHandle(s, root, std::move(path), samDesired);
  if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
  if (RootIndex(hKey) >= 0) return ERROR_SUCCESS;
  Store& s = Store::Get();
  std::lock_guard<std::mutex> lock(s.mu);
  return s.handles.erase(static_cast<std::uintptr_t>(hKey)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  std::string_view name = NameOf(lpValueName);
  if (name.size() > kMaxValueName) return ERROR_INVALID_PARAMETER;
  if (!lpData && cbData > 0) return ERROR_INVALID_PARAMETER;
  Value v;
  v.type = dwType;
  if (dwType == REG_SZ) {
    const char* text = reinterpret_cast<const char*>(lpData);
    v.text.assign(text, text ? ::strnlen(text, cbData) : 0);
  } else if (dwType == REG_DWORD) {
    if (cbData != sizeof(DWORD)) return ERROR_INVALID_PARAMETER;
    std::memcpy(&v.number, lpData, sizeof(DWORD));
  } else {
    return ERROR_INVALID_PARAMETER;
  }
  return ChangeKey(hKey, KEY_SET_VALUE, [&](Key& k) {
    auto it = k.values.find(name);
    if (it == k.values.end()) {
      k.values.emplace(std::string(name), std::move(v));
    } else {
      it->second = std::move(v);
    }
    return ERROR_SUCCESS;
  });
}

LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD*, DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
  if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
  Store& s = Store::Get();
  std::lock_guard<std::mutex> lock(s.mu);
  s.Refresh();
  if (s.corrupt) return ERROR_BADDB;
  Key* k;
  LONG e = KeyOf(s, hKey, KEY_QUERY_VALUE, &k);
  if (e != ERROR_SUCCESS) return e;
  auto it = k->values.find(NameOf(lpValueName));
  if (it == k->values.end()) return ERROR_FILE_NOT_FOUND;
  const Value& v = it->second;
  if (lpType) *lpType = v.type;
  DWORD need = v.type == REG_DWORD ? sizeof(DWORD) : static_cast<DWORD>(v.text.size() + 1);
  if (!lpcbData) return ERROR_SUCCESS;
  if (!lpData) {
    *lpcbData = need;
    return ERROR_SUCCESS;
  }
  if (*lpcbData < need) {
    *lpcbData = need;
    return ERROR_MORE_DATA;
  }
  if (v.type == REG_DWORD) {
    std::memcpy(lpData, &v.number, sizeof(DWORD));
  } else {
    std::memcpy(lpData, v.text.c_str(), need);
  }
  *lpcbData = need;
  return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY hKey, const char* lpValueName) {
  return ChangeKey(hKey, KEY_SET_VALUE, [&](Key& k) {
    auto it = k.values.find(NameOf(lpValueName));
    if (it == k.values.end()) return ERROR_FILE_NOT_FOUND;
    k.values.erase(it);
    return ERROR_SUCCESS;
  });
}

namespace {

// Removes the key at sub below hKey (with its subkeys when whole), or with an empty sub and
// whole everything below hKey.
LONG DeleteKey(HKEY hKey, const char* lpSubKey, bool whole) {
  Path sub;
  if (!SplitPath(NameOf(lpSubKey), &sub)) return ERROR_INVALID_PARAMETER;
  if (sub.empty() && !whole) return ERROR_INVALID_PARAMETER;
  return ChangeKey(hKey, 0, [&](Key& base) {
    if (sub.empty()) {
      base.subkeys.clear();
      base.values.clear();
      return ERROR_SUCCESS;
    }
    Key* parent = FindKey(base, Path(sub.begin(), sub.end() - 1));
    Key* target = parent ? FindChild(*parent, sub.back()) : nullptr;
    if (!target) return ERROR_FILE_NOT_FOUND;
    if (!whole && !target->subkeys.empty()) return ERROR_ACCESS_DENIED;
    DeleteChild(*parent, sub.back());
    return ERROR_SUCCESS;
  });
}

}  // namespace

LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey) { return DeleteKey(hKey, lpSubKey, false); }

LONG RegDeleteTreeA(HKEY hKey, const char* lpSubKey) { return DeleteKey(hKey, lpSubKey, true); }

// ---------------------------------------------------------------------------------------------

namespace xcom {

fs::path RegistryFile() {
  if (const char* env = std::getenv("XCOM_REGISTRY"); env && *env) return fs::path(env);
  return platform::ProgramFolder() / "xcom.reg";
}

namespace internal {

RegistryRead ReadRegistryString(HKEY root, std::string_view path, std::string_view valueName, std::string* out) {
  int r = RootIndex(root);
  Path parts;
  if (r < 0 || !SplitPath(path, &parts)) return RegistryRead::Missing;
  Store& s = Store::Get();
  std::lock_guard<std::mutex> lock(s.mu);
  s.Refresh();
  if (s.corrupt) return RegistryRead::Unreadable;
  Key* k = FindKey(s.tree.roots[r], parts);
  if (!k) return RegistryRead::Missing;
  auto it = k->values.find(valueName);
  if (it == k->values.end() || it->second.type != REG_SZ) return RegistryRead::Missing;
  *out = it->second.text;
  return RegistryRead::Found;
}

}  // namespace internal

std::string ModulePathOf(const void* address) {
  Dl_info info{};
  if (!address || ::dladdr(address, &info) == 0) return {};
  std::error_code ec;
  fs::path p = (info.dli_fname && *info.dli_fname) ? fs::path(info.dli_fname) : fs::read_symlink("/proc/self/exe", ec);
  if (p.empty()) return {};
  fs::path canonical = fs::weakly_canonical(fs::absolute(p, ec), ec);
  return (ec ? p : canonical).string();
}

namespace {

std::string Substitute(std::string_view text, const std::string& module) {
  constexpr std::string_view kModule = "%MODULE%";
  std::string out;
  std::size_t pos = 0;
  while (true) {
    std::size_t at = text.find(kModule, pos);
    out.append(text.substr(pos, at == std::string_view::npos ? std::string_view::npos : at - pos));
    if (at == std::string_view::npos) return out;
    out += module;
    pos = at + kModule.size();
  }
}

bool Complete(const ClassRegistration& c) {
  return c.description && c.progId && c.versionIndependentProgId && c.threadingModel && ValidKeyName(c.progId) &&
         ValidKeyName(c.versionIndependentProgId);
}

}  // namespace

HRESULT RegisterServer(const ServerRegistration& server) {
  std::string module = ModulePathOf(&server);
  if (module.empty()) return SELFREG_E_CLASS;
  for (const ClassRegistration& c : server.classes) {
    if (!Complete(c)) return E_INVALIDARG;
    for (const ClassSubkey& extra : c.extras) {
      Path parts;
      if (!extra.path || !SplitPath(extra.path, &parts) || parts.empty()) return E_INVALIDARG;
    }
  }
  if (server.typeLib && (!server.typeLib->version || !ValidKeyName(server.typeLib->version) || !server.typeLib->helpString))
    return E_INVALIDARG;

  Store& s = Store::Get();
  WriteTxn txn(s);
  if (txn.status() != ERROR_SUCCESS) return SELFREG_E_CLASS;
  try {
    Key& hkcr = s.tree.roots[0];
    for (const ClassRegistration& c : server.classes) {
      std::string clsid = GuidToString(c.clsid);
      Key& prog = ChildOf(hkcr, c.progId);
      SetString(prog, "", c.description);
      SetString(ChildOf(prog, "CLSID"), "", clsid);
      Key& vi = ChildOf(hkcr, c.versionIndependentProgId);
      SetString(vi, "", c.description);
      SetString(ChildOf(vi, "CLSID"), "", clsid);
      if (c.curVer) SetString(ChildOf(vi, "CurVer"), "", c.progId);

      Key& classes = ChildOf(hkcr, "CLSID");
      DeleteChild(classes, clsid);  // the class key is rewritten whole
      Key& k = ChildOf(classes, clsid);
      SetString(k, "", c.description);
      SetString(ChildOf(k, "ProgID"), "", c.progId);
      SetString(ChildOf(k, "VersionIndependentProgID"), "", c.versionIndependentProgId);
      if (c.programmable) ChildOf(k, "Programmable");
      Key& inproc = ChildOf(k, "InprocServer32");
      SetString(inproc, "", module);
      SetString(inproc, "ThreadingModel", c.threadingModel);
      if (c.typeLib) SetString(ChildOf(k, "TypeLib"), "", GuidToString(*c.typeLib));
      for (const ClassSubkey& extra : c.extras) {
        Path parts;
        SplitPath(extra.path, &parts);
        Key& x = CreateKey(k, parts);
        if (extra.value) SetString(x, "", Substitute(extra.value, module));
      }
    }
    if (const TypeLibRegistration* tl = server.typeLib) {
      Key& libs = ChildOf(hkcr, "TypeLib");
      std::string libid = GuidToString(tl->libid);
      DeleteChild(libs, libid);
      Key& version = ChildOf(ChildOf(libs, libid), tl->version);
      SetString(version, "", tl->helpString);
      SetString(ChildOf(ChildOf(version, "0"), "win32"), "", module);
      SetString(ChildOf(version, "FLAGS"), "", "0");
      SetString(ChildOf(version, "HELPDIR"), "", fs::path(module).parent_path().string());
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return txn.Commit() == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

HRESULT UnregisterServer(const ServerRegistration& server) {
  for (const ClassRegistration& c : server.classes) {
    if (!Complete(c)) return E_INVALIDARG;
  }
  Store& s = Store::Get();
  WriteTxn txn(s);
  if (txn.status() != ERROR_SUCCESS) return SELFREG_E_CLASS;
  Key& hkcr = s.tree.roots[0];
  for (const ClassRegistration& c : server.classes) {
    DeleteChild(hkcr, c.progId);
    DeleteChild(hkcr, c.versionIndependentProgId);
    if (Key* classes = FindChild(hkcr, "CLSID")) DeleteChild(*classes, GuidToString(c.clsid));
  }
  if (server.typeLib) {
    if (Key* libs = FindChild(hkcr, "TypeLib")) {
      DeleteChild(*libs, GuidToString(server.typeLib->libid));
      if (libs->subkeys.empty() && libs->values.empty()) DeleteChild(hkcr, "TypeLib");
    }
  }
  return txn.Commit() == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

}  // namespace xcom
