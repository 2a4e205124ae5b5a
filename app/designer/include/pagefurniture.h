// The preview's own parts of a page, which the page drawing calls back on the canvas as on the
// printer: the document's title block and the page's foot line with its page number.
#pragma once

#include "pagestate.h"
#include "reports.h"

namespace designer {

class PageFurniture : public reports::PageCallbacks {
 public:
  PageFurniture(reports::Reports& reports, const PageState& pages) : reports_(reports), pages_(pages) {}

  // The title (font slot 0) and, after a carriage return, the subtitle (slot 3) with a rule
  // under them; twice the title's height, 0 for an empty text.
  double PrintDocumentHeader(surface::Surface& s, double left, double top, double right, const QString& text,
                             bool countOnly) override;
  // The foot line (slot 2) above bottom and, when pageNumber, "Page n" at the right, n being
  // the page shown plus pageOffset; twice the line's height, 0 for an empty text.
  double PrintPageFooter(surface::Surface& s, double left, double bottom, double right, const QString& text,
                         bool pageNumber, bool countOnly, SHORT pageOffset) override;

 private:
  reports::Reports& reports_;
  const PageState& pages_;
};

}  // namespace designer
