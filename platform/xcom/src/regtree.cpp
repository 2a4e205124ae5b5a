// The registry's tree of keys and values, and its text form.
#include "regtree.h"

#include <cstdio>

#include "internal.h"

namespace xcom::regtree {

using internal::FoldAscii;

bool CaseLess::operator()(std::string_view a, std::string_view b) const {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    char x = FoldAscii(a[i]), y = FoldAscii(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  return a.size() < b.size();
}

int RootIndex(HKEY h) {
  auto v = static_cast<std::uintptr_t>(h);
  if (v >= 0x80000000u && v < 0x80000000u + kRootCount) return static_cast<int>(v - 0x80000000u);
  return -1;
}

bool ValidKeyName(std::string_view name) {
  if (name.empty() || name.size() > kMaxKeyName) return false;
  for (char c : name) {
    if (c == '\\' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

bool SplitPath(std::string_view text, Path* out) {
  out->clear();
  if (text.empty()) return true;
  std::size_t start = 0;
  while (true) {
    std::size_t end = text.find('\\', start);
    std::string_view part = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (!ValidKeyName(part)) return false;
    out->emplace_back(part);
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

Key* FindChild(Key& k, std::string_view name) {
  auto it = k.subkeys.find(name);
  return it == k.subkeys.end() ? nullptr : it->second.get();
}

Key* FindKey(Key& root, const Path& path) {
  Key* k = &root;
  for (const std::string& part : path) {
    k = FindChild(*k, part);
    if (!k) return nullptr;
  }
  return k;
}

Key& ChildOf(Key& k, std::string_view name, bool* created) {
  auto it = k.subkeys.find(name);
  if (it != k.subkeys.end()) return *it->second;
  auto child = std::make_unique<Key>();
  child->name = std::string(name);
  Key& ref = *child;
  k.subkeys.emplace(std::string(name), std::move(child));
  if (created) *created = true;
  return ref;
}

Key& CreateKey(Key& root, const Path& path, bool* created) {
  Key* k = &root;
  for (const std::string& part : path) k = &ChildOf(*k, part, created);
  return *k;
}

bool DeleteChild(Key& parent, std::string_view name) {
  auto it = parent.subkeys.find(name);
  if (it == parent.subkeys.end()) return false;
  parent.subkeys.erase(it);
  return true;
}

void SetString(Key& k, std::string_view name, std::string text) {
  auto it = k.values.find(name);
  if (it == k.values.end()) it = k.values.emplace(std::string(name), Value{}).first;
  it->second.type = REG_SZ;
  it->second.text = std::move(text);
}

namespace {

void AppendQuoted(std::string& out, std::string_view s) {
  out.push_back('"');
  for (char c : s) {
    auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char buf[5];
          std::snprintf(buf, sizeof buf, "\\x%02X", u);
          out += buf;
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
}

void WriteKey(std::string& out, const std::string& path, const Key& k, bool isRoot) {
  if (!isRoot || !k.values.empty()) {
    out += '[';
    out += path;
    out += "]\n";
    for (const auto& [name, v] : k.values) {
      if (name.empty()) {
        out += '@';
      } else {
        AppendQuoted(out, name);
      }
      out += '=';
      if (v.type == REG_DWORD) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08X", static_cast<unsigned>(v.number));
        out += buf;
      } else {
        AppendQuoted(out, v.text);
      }
      out += '\n';
    }
  }
  for (const auto& [name, child] : k.subkeys) WriteKey(out, path + '\\' + child->name, *child, false);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = FoldAscii(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A quoted string at s[*pos]; *pos moves past its closing quote.
bool ReadQuoted(std::string_view s, std::size_t* pos, std::string* out) {
  std::size_t i = *pos;
  if (i >= s.size() || s[i] != '"') return false;
  ++i;
  out->clear();
  while (i < s.size()) {
    char c = s[i++];
    if (c == '"') {
      *pos = i;
      return true;
    }
    if (c != '\\') {
      out->push_back(c);
      continue;
    }
    if (i >= s.size()) return false;
    char e = s[i++];
    switch (e) {
      case '\\': out->push_back('\\'); break;
      case '"': out->push_back('"'); break;
      case 'n': out->push_back('\n'); break;
      case 'r': out->push_back('\r'); break;
      case 't': out->push_back('\t'); break;
      case 'x': {
        if (i + 2 > s.size()) return false;
        int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out->push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return false;
}

bool ParseValueLine(std::string_view line, Key& k) {
  std::size_t pos = 0;
  std::string name;
  if (line[0] == '@') {
    pos = 1;
  } else if (!ReadQuoted(line, &pos, &name) || name.empty() || name.size() > kMaxValueName) {
    return false;
  }
  if (pos >= line.size() || line[pos] != '=') return false;
  ++pos;
  Value v;
  if (line.substr(pos, 6) == "dword:") {
    std::string_view digits = line.substr(pos + 6);
    if (digits.size() != 8) return false;
    DWORD n = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) return false;
      n = (n << 4) | static_cast<DWORD>(d);
    }
    v.type = REG_DWORD;
    v.number = n;
  } else {
    if (!ReadQuoted(line, &pos, &v.text) || pos != line.size()) return false;
  }
  k.values[name] = std::move(v);
  return true;
}

}  // namespace

std::string Format(const Tree& tree) {
  std::string text(kHeader);
  text += '\n';
  for (int r = 0; r < kRootCount; ++r) WriteKey(text, kRootNames[r], tree.roots[r], true);
  return text;
}

bool Parse(std::string_view text, Tree* tree) {
  std::size_t pos = 0;
  bool first = true;
  Key* current = nullptr;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      if (line != kHeader) return false;
      first = false;
      continue;
    }
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.size() < 2 || line.back() != ']') return false;
      std::string_view path = line.substr(1, line.size() - 2);
      std::size_t cut = path.find('\\');
      std::string_view rootName = path.substr(0, cut);
      int root = -1;
      for (int r = 0; r < kRootCount; ++r) {
        if (!CaseLess()(rootName, kRootNames[r]) && !CaseLess()(kRootNames[r], rootName)) root = r;
      }
      if (root < 0) return false;
      Path parts;
      if (cut != std::string_view::npos && !SplitPath(path.substr(cut + 1), &parts)) return false;
      current = &CreateKey(tree->roots[root], parts);
      continue;
    }
    if (!current || !ParseValueLine(line, *current)) return false;
  }
  return !first;
}

}  // namespace xcom::regtree
