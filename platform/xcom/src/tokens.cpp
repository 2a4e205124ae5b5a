// The process's table of tokens.
#include "xcom/tokens.h"

#include <limits>
#include <mutex>
#include <unordered_map>

namespace xcom {

namespace {

// Tokens start well above small integers, so that a stray 1 or 2 is never a live token.
constexpr LONG kFirstToken = 0x10000;
constexpr LONG kLastToken = std::numeric_limits<LONG>::max();

struct Entry {
  TokenKind kind;
  const std::type_info* type;
  void* object;
  token_detail::AnyFn function;
};

struct Table {
  std::mutex mu;
  std::unordered_map<LONG, Entry> live;
  LONG next = kFirstToken;
};

Table& TheTable() {
  static Table* table = new Table;
  return *table;
}

}  // namespace

namespace token_detail {

LONG Issue(TokenKind kind, const std::type_info& type, void* object, AnyFn function) {
  Table& t = TheTable();
  std::lock_guard<std::mutex> lock(t.mu);
  if (t.live.size() >= static_cast<std::size_t>(kLastToken - kFirstToken) + 1) return 0;
  LONG token;
  do {
    token = t.next;
    t.next = token == kLastToken ? kFirstToken : token + 1;
  } while (t.live.count(token));
  t.live.emplace(token, Entry{kind, &type, object, function});
  return token;
}

bool Resolve(TokenKind kind, LONG token, const std::type_info& type, void** object, AnyFn* function) {
  Table& t = TheTable();
  std::lock_guard<std::mutex> lock(t.mu);
  auto it = t.live.find(token);
  if (it == t.live.end() || it->second.kind != kind || *it->second.type != type) return false;
  *object = it->second.object;
  *function = it->second.function;
  return true;
}

}  // namespace token_detail

bool RevokeToken(LONG token) {
  Table& t = TheTable();
  std::lock_guard<std::mutex> lock(t.mu);
  return t.live.erase(token) != 0;
}

}  // namespace xcom
