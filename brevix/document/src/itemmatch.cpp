// The search criteria of a catalog search, tested against one item record.
#include "itemmatch.h"

#include <limits>

#include "namefold.h"

namespace brevix {

NamePattern::NamePattern(std::u16string_view pattern) {
  empty_ = pattern.empty();
  if (empty_) return;
  anchored_ = pattern.front() != u'*';
  std::u16string folded = Folded(pattern);
  size_t i = 0;
  while (i < folded.size()) {
    size_t star = folded.find(u'*', i);
    if (star == std::u16string::npos) star = folded.size();
    if (star > i) tokens_.emplace_back(folded, i, star - i);
    i = star + 1;
  }
  for (const std::u16string& tok : tokens_) {
    if (tok[0] >= 0x80) continue;
    leadKnown_ = true;
    lead_ = tok[0];
    leadLower_ = (lead_ >= u'A' && lead_ <= u'Z') ? static_cast<char16_t>(lead_ + 32) : lead_;
    break;
  }
}

bool NamePattern::MatchesFolded(std::u16string_view text) const {
  if (empty_) return true;
  size_t pos = 0;
  for (size_t t = 0; t < tokens_.size(); ++t) {
    const std::u16string& tok = tokens_[t];
    size_t at;
    if (t == 0 && anchored_) {
      if (text.substr(0, tok.size()) != tok) return false;
      at = 0;
    } else {
      at = text.find(tok, pos);
      if (at == std::u16string_view::npos) return false;
    }
    pos = at + tok.size();
  }
  return true;
}

bool NamePattern::Matches(std::u16string_view text) const {
  if (empty_) return true;
  return MatchesFolded(Folded(text));
}

bool MatchPattern(std::u16string_view text, std::u16string_view pattern) {
  return NamePattern(pattern).Matches(text);
}

LONG SizeInKB32(std::uint64_t bytes) {
  std::uint64_t kb = SizeInKB(bytes);
  constexpr std::uint64_t kMax = static_cast<std::uint64_t>(std::numeric_limits<LONG>::max());
  return static_cast<LONG>(kb > kMax ? kMax : kb);
}

bool SearchCriteria::MatchesExceptName(const ItemRecord& r) const {
  if (sizeLimit != 0) {
    std::uint64_t kb = SizeInKB(r.Size());
    std::int64_t limit = sizeLimit;
    if (limit > 0 && kb < static_cast<std::uint64_t>(limit)) return false;
    if (limit < 0 && kb > static_cast<std::uint64_t>(-limit)) return false;
  }
  if (startDate != 0 && endDate != 0) {
    std::optional<DATE> t = FileTimeToDate(r.timeA);
    if (!t || DateLess(*t, startDate) || DateGreater(*t, endDate)) return false;
  }
  if (!note.empty()) {
    if (!r.note || r.note->empty()) return false;
    if (!note.Matches(*r.note)) return false;
  }
  return true;
}

bool SearchCriteria::Matches(const ItemRecord& r) const {
  if (IsEmpty()) return true;
  if (!name.empty() && !name.Matches(r.name)) return false;
  return MatchesExceptName(r);
}

}  // namespace brevix
