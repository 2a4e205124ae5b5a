// The registry's tree of keys and values, and its text form. No file and no lock here: the
// store in registry.cpp keeps a tree in step with its file.
//
// File form ("XCOM REGISTRY 1" first), one section per key, values below it:
//   [HKEY_CLASSES_ROOT\CLSID\{B09D44B7-90DB-11D2-A245-00104BCD093B}\InprocServer32]
//   @="/opt/xendora/libbrevix.so"
//   "ThreadingModel"="Apartment"
//   "Count"=dword:00000001
// Strings escape "\" "\"" and control characters (\n \r \t \xHH).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xcom/registry.h"

namespace xcom::regtree {

inline constexpr std::string_view kHeader = "XCOM REGISTRY 1";
inline constexpr std::size_t kMaxKeyName = 255;
inline constexpr std::size_t kMaxValueName = 16383;

// Names compare ignoring ASCII letter case.
struct CaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

struct Value {
  DWORD type = REG_SZ;
  std::string text;
  DWORD number = 0;
};

struct Key {
  std::string name;
  std::map<std::string, Value, CaseLess> values;
  std::map<std::string, std::unique_ptr<Key>, CaseLess> subkeys;
};

inline constexpr const char* kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                             "HKEY_USERS"};
inline constexpr int kRootCount = 4;

struct Tree {
  Key roots[kRootCount];
};

// The index of a predefined root key, or -1 for any other handle.
int RootIndex(HKEY h);

using Path = std::vector<std::string>;

bool ValidKeyName(std::string_view name);
// "A\B\C" to its components; false for an empty or invalid component. An empty text is the
// key itself (no components).
bool SplitPath(std::string_view text, Path* out);

Key* FindChild(Key& k, std::string_view name);
Key* FindKey(Key& root, const Path& path);
// The child of that name, made when missing (*created then set).
Key& ChildOf(Key& k, std::string_view name, bool* created = nullptr);
Key& CreateKey(Key& root, const Path& path, bool* created = nullptr);
bool DeleteChild(Key& parent, std::string_view name);
void SetString(Key& k, std::string_view name, std::string text);

// The tree as its file holds it, and back: false for text that is not a registry file (the
// tree is then partly filled).
std::string Format(const Tree& tree);
bool Parse(std::string_view text, Tree* tree);

}  // namespace xcom::regtree
