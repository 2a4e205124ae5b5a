// lstDisks as the disk searches' result list: every row the search delivers, with its texts
// and the disk's date.
#pragma once

#include <vector>

#include "pagesetupstate.h"
#include "searchrun.h"

namespace printsetup {

class DiskListTarget : public app::catalog::SearchResultTarget {
 public:
  bool TakesColumns() const override { return true; }
  void AddRow(const app::catalog::ResultRow& row) override {
    rows.push_back({row.text, row.serial, row.location, row.size, row.modified, row.note, row.date, false});
  }
  std::vector<DiskRow> rows;
};

}  // namespace printsetup
