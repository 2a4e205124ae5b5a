// The search criteria of a catalog search: name and note patterns, a size bound in KB and a
// date range, tested against one item record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogdate.h"
#include "itemstream.h"

namespace brevix {

// A name pattern: "*" stands for any run of characters, every other character (including
// "?") for itself; letter case is ignored. Unless the pattern begins with "*" the text must
// begin with its first piece; the pieces must then follow one another without overlapping.
// The end of the text is never anchored: "REP" matches "report.txt", "*.TXT" matches
// "notes.txt.bak". An empty pattern, or "*" alone, matches everything.
class NamePattern {
 public:
  NamePattern() = default;
  explicit NamePattern(std::u16string_view pattern);

  bool empty() const { return empty_; }
  bool Matches(std::u16string_view text) const;
  // The same for a text already upper-cased with Folded().
  bool MatchesFolded(std::u16string_view foldedText) const;
  // A quick test on a text not upper-cased yet: false only when the text cannot match, as it
  // holds no unit that upper-cases to the first unit of one of the pieces.
  bool MayMatch(std::u16string_view text) const {
    if (!leadKnown_) return true;
    unsigned found = 0;  // no early exit: the loop runs over whole vectors of units
    for (char16_t c : text) found |= (c >= 0x80) | (c == lead_) | (c == leadLower_);
    return found != 0;
  }

 private:
  std::vector<std::u16string> tokens_;  // upper-cased pieces between the "*"s
  bool anchored_ = false;               // the pattern does not begin with "*"
  bool empty_ = true;                   // the pattern is the empty string
  // A piece that begins with an ASCII unit: that unit and the lower case that upper-cases to
  // it (or the unit again). Only units beyond ASCII may upper-case to it otherwise.
  bool leadKnown_ = false;
  char16_t lead_ = 0, leadLower_ = 0;
};

bool MatchPattern(std::u16string_view text, std::u16string_view pattern);

// Size in whole KB, rounded up, without overflow for any 64-bit size.
inline std::uint64_t SizeInKB(std::uint64_t bytes) { return bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0); }
// The 32-bit size in KB that callbacks receive: rounded up, and saturated rather than
// wrapped for sizes beyond 2 TiB.
LONG SizeInKB32(std::uint64_t bytes);

struct SearchCriteria {
  NamePattern name;
  NamePattern note;
  LONG sizeLimit = 0;  // KB: positive at least, negative at most its absolute value, 0 none
  DATE startDate = 0;
  DATE endDate = 0;

  bool IsEmpty() const {
    return name.empty() && note.empty() && sizeLimit == 0 && startDate == 0 && endDate == 0;
  }
  // The name pattern alone, on an upper-cased name: a search may skip the record of an
  // element whose name already fails.
  bool NameMatchesFolded(std::u16string_view foldedName) const {
    return name.empty() || name.MatchesFolded(foldedName);
  }
  // False only when a name not upper-cased yet cannot pass (NamePattern::MayMatch).
  bool NameMayMatch(std::u16string_view name) const { return this->name.empty() || this->name.MayMatch(name); }
  // Every criterion, the name included.
  bool Matches(const ItemRecord& r) const;
  // Every criterion but the name.
  bool MatchesExceptName(const ItemRecord& r) const;
};

}  // namespace brevix
