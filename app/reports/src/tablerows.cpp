// The report table's rows on a page: page columns with their frames and title rows, or the
// label cells of a label sheet; where each page ends and the next one starts; one row with
// its word-wrapped, note and tree cells.
#include <algorithm>

#include "reports.h"
#include "vbrt.h"

namespace reports {

using surface::Surface;
using surface::vbInches;
using surface::vbPixels;

namespace {

QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }

bool IsLabelListTitle(const QStringList& titles) {
  return titles.size() == 1 &&
         (titles[0] == QLatin1String("ZIPTableTitle") || titles[0] == QLatin1String("CDRWTableTitle"));
}

// Steps the report table one row on, backwards for a descending report.
void Advance(texttable::Recordset& rs, bool descending) {
  if (descending) {
    rs.MovePrevious();
  } else {
    rs.MoveNext();
  }
}

}  // namespace

double Reports::PrintTableRows(Surface& s, TablePage& pg, double left, double top, double width, double height,
                               SHORT columns, double gap, bool countOnly) {
  if (columns <= 0 || pg.CurrentPage < 1) return -1.0;
  const bool firstPage = pg.CurrentPage == 1;
  const int startRow = firstPage ? job_.ZipStartRow : 0;
  const int startCol = firstPage ? job_.ZipStartColumn : 0;
  const int labelRows = job_.LabelRowCount;
  const int labelCols = std::max<int>(1, job_.LabelColumnCount);
  const double z = Zoom();
  const double vOff = s.IsPrinter() ? job_.PrinterOffsetY : 0.0;

  // Page columns: the gap is shared evenly between them.
  SetFontFromRecord(s, 4);
  const double w = (width - gap) / columns;
  const double colStep = w + (columns > 1 ? gap / (columns - 1) : 0.0);
  auto columnX = [&](int c) { return left + c * colStep; };

  const std::optional<QStringList>& titles = job_.ReportColumnTitles;
  const bool hasTitleRow = titles && !titles->isEmpty() && !IsLabelListTitle(*titles);
  double h = titles && !titles->isEmpty() ? s.TextHeight(titles->first()) * 1.2 : 0.0;
  double y = 0;
  int labelRow = startRow + 1;
  // The top of a label row: on a Zip sheet the page's thirds (less the printer's offset),
  // otherwise shares of the body.
  auto labelRowTop = [&](int row) {  // row from 0
    if (job_.LabelMedium == 2 && row < labelRows) return z * job_.PageHeight / labelRows * row - vOff;
    return labelRows != 0 ? row * height / labelRows : 0.0;
  };
  const int framed = pg.LastPageColumns >= 1 ? std::min<int>(columns, pg.LastPageColumns + startCol) : columns;
  if (titles) {
    for (int c = startCol; c < framed; ++c) {
      const double x = columnX(c);
      if (hasTitleRow) {
        if (!countOnly) s.Box(x, top, x + w, top + height, kBlack);
        h = PrintTableRow(s, pg, x, top + 0.1 * h, w, true, countOnly);
        if (!countOnly) {
          s.Line(x, top + 1.1 * h, x + w, top + 1.1 * h, kBlack);
          double edge = x;
          for (int k = 0; k < job_.ReportColumnCount; ++k) {
            s.Line(edge, top, edge, top + height, kBlack);
            edge += (k < job_.ReportColumnWidths.size() ? job_.ReportColumnWidths[k] : 0.0) * w / 100;
          }
        }
      } else {
        const double rowTop = labelRowTop(startRow);
        labelRow = startRow + 1;
        y = rowTop;
        if (rowTop != 0 || (y > 0 && !job_.ForceSingleLabel)) {
          h = PrintNextPageHeader(s, x, rowTop + top, x + w, countOnly);
        }
      }
    }
  }

  // The rows, from where this page starts.
  SetFontFromRecord(s, 5);
  texttable::Recordset* rs = job_.ReportRecordset.get();
  const size_t pageIndex = static_cast<size_t>(std::max<int>(0, pg.CurrentPage - 1));
  if (rs && pageIndex < pg.PageStarts.size() && pg.PageStarts[pageIndex]) rs->SetBookmark(*pg.PageStarts[pageIndex]);

  y = y + top + 1.2 * h;
  const double firstRowY = y;
  const double labelRow1Y = top + 1.2 * h;  // the first row of a label cell in label row 1
  int colCounter = startCol + 1;
  int labelCol = 1;
  double colX = columnX(startCol);
  double x = colX;
  const double cellW = w / labelCols;

  // A page drawn before knows where the next one starts.
  const bool visited = static_cast<size_t>(pg.CurrentPage) + 1 < pg.PageStarts.size() &&
                       pg.PageStarts[pg.CurrentPage].has_value();
  if (!visited) {
    pg.PageStarts.resize(std::max<size_t>(pg.PageStarts.size(), size_t(pg.CurrentPage) + 2));
  } else if (rs && pg.PageStarts[0] && rs->GetBookmark() == *pg.PageStarts[0]) {
    if (job_.DescendingOrder) {
      rs->MoveLast();
    } else {
      rs->MoveFirst();
    }
  }
  pg.RowsOnPage = 0;
  const bool labelsEndPage = job_.LabelMedium == 1 || (job_.LabelMedium == 2 && job_.PrintToIndex != 0);
  auto signedEnd = [&](double at) { return labelsEndPage ? -at : at; };

  double result = 0;
  bool cellEmpty = true;
  for (;;) {
    if (!rs || rs->Eof() || rs->Bof()) {
      result = -y;
      break;
    }
    if (visited && pg.PageStarts[pg.CurrentPage] && rs->GetBookmark() == *pg.PageStarts[pg.CurrentPage]) {
      result = signedEnd(y);
      break;
    }
    double cellBottom;
    if (job_.LabelMedium == 2 && labelRow < labelRows) {
      cellBottom = z * job_.PageHeight / labelRows * labelRow - vOff;
    } else {
      cellBottom = labelRows != 0 ? labelRow * height / labelRows + top : top + height;
    }
    // A row fits when its own height does (a row too tall for an empty cell is drawn there
    // all the same, so that a page never stays empty).
    const double next = PrintTableRow(s, pg, x, y, cellW, false, true);
    if (y + next < cellBottom || cellEmpty) {
      h = countOnly ? next : PrintTableRow(s, pg, x, y, cellW, false, false);
      cellEmpty = false;
      ++pg.RowsOnPage;
      if (!countOnly && pg.RowsOnPage == designer_.FindRow && pg.CurrentPage == designer_.FindPage) {
        // The search hit's mark belongs to the canvas only.
        if (!s.IsPrinter()) s.Box(x, y, x + cellW, y + h, kRed);
        if (pg.ScrollToFound) {
          pg.ScrollToFound = false;
          if (pg.MakeRowVisible) pg.MakeRowVisible(y, h);
        }
      }
      y += h;
      Advance(*rs, job_.DescendingOrder);
      continue;
    }
    // The next cell: the next label across, the next label row, the next page column.
    bool stop = false;
    if (labelCol < labelCols) {
      ++labelCol;
      x += cellW;
    } else if (labelRow < labelRows) {
      ++labelRow;
      labelCol = 1;
      x = colX;
      stop = job_.ForceSingleLabel;
    } else if (colCounter < columns) {
      ++colCounter;
      labelRow = 1;
      labelCol = 1;
      colX = columnX(colCounter - 1);
      x = colX;
      stop = job_.ForceSingleLabel;
    } else {
      stop = true;
    }
    if (stop) {
      if (!visited) pg.PageStarts[pg.CurrentPage] = rs->GetBookmark();
      result = signedEnd(y);
      break;
    }
    cellEmpty = true;
    if (labelRow == 1) {
      y = labelRow1Y;
    } else if (labelRow == startRow + 1 && colCounter == startCol + 1) {
      y = firstRowY;
    } else if (job_.LabelMedium == 2) {
      y = (labelRow - 1) * z * job_.PageHeight / labelRows - vOff;
    } else {
      y = (labelRow - 1) * height / labelRows + top;
    }
  }

  // Leftover space of a full page is spread over its rows, once.
  if (pg.RowSlack == 0 && pg.RowsOnPage > 0 && result > 0 && !job_.ForceSingleLabel) {
    const double space = top + height - (y + h);
    if (space > h) pg.RowSlack = space / pg.RowsOnPage;
  }

  // Page columns left without rows lose their frames.
  if (columns >= 2 && colCounter < columns) {
    if (titles && !countOnly) {
      const double onePixel = s.ScaleX(1, vbPixels, vbInches);
      for (int c = colCounter; c < columns; ++c) {
        const double cx = columnX(c);
        s.FilledBox(cx, top, cx + w + onePixel, top + height, kWhite);
      }
    }
    pg.LastPageColumns = static_cast<SHORT>(colCounter);
  }
  return result;
}

// A data cell's text with its format applied: the format's leading "I" marks a tree cell,
// then the alignment letter, then the format string.
QString Reports::CellText(int field, bool& tree, int& treeCode, int& leadingBlanks, UINT& flags) const {
  const QString name = field < job_.ReportFieldNames.size() ? job_.ReportFieldNames[field] : QString();
  const QString format = field < job_.ReportColumnFormats.size() ? job_.ReportColumnFormats[field] : QString();
  tree = format.startsWith(QLatin1Char('I'));
  const QString rest = tree ? format.mid(1) : format;
  const QChar align = rest.isEmpty() ? QChar() : rest[0];
  const QString pattern = rest.mid(1);
  const texttable::Recordset& rs = *job_.ReportRecordset;
  const int index = rs.FieldIndex(name.toStdString());
  const QString value = index < 0 ? QString() : QString::fromStdString(rs.Field(index));
  QString text = Q(vbrt::Format(value.toStdU16String(), pattern.toStdU16String()));
  flags = static_cast<UINT>(job_.CellTextFlags);
  if (align == QLatin1Char('R')) flags += DT_RIGHT;
  if (align == QLatin1Char('C')) flags += DT_CENTER;

  if (name.compare(QLatin1String("DISK_SERIAL_NUMBER"), Qt::CaseInsensitive) == 0 && text == QLatin1String("0")) {
    text = QStringLiteral("(none)");
  } else if (name.compare(QLatin1String("MODIFIED"), Qt::CaseInsensitive) == 0 && !text.isEmpty()) {
    text = Q(vbrt::Format(text.toStdU16String(), u"m/d/yyyy h:mm AMPM"));
  } else if (name.compare(QLatin1String("TYPE"), Qt::CaseInsensitive) == 0) {
    text = text.trimmed();
  }
  treeCode = -1;
  leadingBlanks = 0;
  if (tree) {
    bool ok = false;
    if (text.size() >= 2) treeCode = text.right(2).toInt(&ok);
    if (!ok) treeCode = -1;
    if (text.size() >= 2) text.chop(2);
    while (leadingBlanks < text.size() && text[leadingBlanks] == QLatin1Char(' ')) ++leadingBlanks;
    text = text.mid(leadingBlanks);
  }
  return text;
}

double Reports::PrintTableRow(Surface& s, TablePage& pg, double x, double y, double width, bool title,
                              bool countOnly) {
  const std::optional<QStringList>& titles = job_.ReportColumnTitles;
  if (title && !titles) title = false;
  const texttable::Recordset* rs = job_.ReportRecordset.get();
  if (!title && (!rs || rs->Eof() || rs->Bof())) return pg.RowSlack;  // no current row
  const UINT calc = countOnly ? DT_CALCRECT : 0;
  const LONG left = static_cast<LONG>(s.ScaleX(x, vbInches, vbPixels));
  const LONG top = static_cast<LONG>(s.ScaleY(y, vbInches, vbPixels));
  // Tall enough for any row on the page: the fit test keeps rows inside the body.
  LONG bottom = top + static_cast<LONG>(s.ScaleY(std::max(y, job_.PageHeight * Zoom()), vbInches, vbPixels));
  const double pixelWidth = s.ScaleX(width, vbInches, vbPixels);
  const LONG inset = title ? 0 : static_cast<LONG>(s.ScaleX(s.TextWidth(QStringLiteral("a")), vbInches, vbPixels));
  const int cells = static_cast<int>(title ? titles->size() : job_.ReportFieldNames.size());
  auto cellWidth = [&](int i) {
    return (i < job_.ReportColumnWidths.size() ? job_.ReportColumnWidths[i] : 0.0) * pixelWidth / 100;
  };

  int tallest = 0;
  if (title) {
    const UINT base = static_cast<UINT>(job_.CellAlignFlags);
    double cellLeft = left;
    for (int i = 0; i < cells; ++i) {
      const double right = cellLeft + cellWidth(i);
      RECT r{static_cast<LONG>(cellLeft), top, static_cast<LONG>(right), bottom};
      tallest = std::max(tallest, s.DrawText((*titles)[i], r, base + DT_WORDBREAK + DT_VCENTER + DT_CALCRECT));
      cellLeft = right;
    }
    bottom = top + tallest;
    cellLeft = left;
    for (int i = 0; i < cells; ++i) {
      const double right = cellLeft + cellWidth(i);
      RECT measure{static_cast<LONG>(cellLeft), top, static_cast<LONG>(right), bottom};
      const int own = s.DrawText((*titles)[i], measure, DT_CALCRECT + DT_EXPANDTABS + DT_WORDBREAK + DT_CENTER);
      RECT r{static_cast<LONG>(cellLeft), top, static_cast<LONG>(right), bottom};
      const UINT flags = own < tallest ? base + DT_VCENTER : base + DT_WORDBREAK;
      s.SetBkMode(TRANSPARENT);
      s.DrawText((*titles)[i], r, flags + calc);
      cellLeft = right;
    }
    return s.ScaleY(tallest, vbPixels, vbInches) + pg.RowSlack;
  }

  const QString space = QStringLiteral(" ");
  const double spacePx = s.ScaleX(s.TextWidth(space), vbInches, vbPixels);
  const double lineH = s.TextHeight(QStringLiteral("W"));
  const double lineHPx = s.ScaleY(lineH, vbInches, vbPixels);
  double cellLeft = left;
  s.SetBkMode(TRANSPARENT);
  for (int i = 0; i < cells; ++i) {
    const double right = cellLeft + cellWidth(i);
    bool tree = false;
    int code = -1, blanks = 0;
    UINT flags = 0;
    const QString text = CellText(i, tree, code, blanks, flags);
    double textLeft = cellLeft + inset;
    if (tree) {
      // Grey connectors from the ancestors' levels, the item's icon scaled to the line, the
      // name after it.
      const int indent = std::max<int>(1, job_.IndentWidth);
      const int level = blanks / indent;
      const double levelPx = indent * spacePx;
      const double iconPx = lineHPx;
      const double indentPx = blanks * spacePx;
      auto in = [&](double px) { return s.ScaleX(px, vbPixels, vbInches); };
      auto inY = [&](double px) { return s.ScaleY(px, vbPixels, vbInches); };
      if (!countOnly) {
        for (int j = 0; j < level; ++j) {
          const double lx = textLeft + j * levelPx + iconPx / 2;
          s.Line(in(lx), inY(top), in(lx), inY(top + lineHPx), kLightGrey);
        }
        if (level > 0) {
          const double sx = textLeft + (level - 1) * levelPx + iconPx / 2;
          s.Line(in(sx), inY(top + lineHPx / 2), in(textLeft + indentPx), inY(top + lineHPx / 2), kLightGrey);
        }
        if (code >= 0 && code < static_cast<int>(pg.TreeIcons.size()) && !pg.TreeIcons[code].isNull()) {
          s.PaintPicture(pg.TreeIcons[code], in(textLeft + indentPx), inY(top), lineH, lineH);
        }
      }
      textLeft += indentPx + iconPx + spacePx;
    }
    RECT r{static_cast<LONG>(textLeft), top, static_cast<LONG>(std::max(textLeft, right - inset)), bottom};
    const QString name = i < job_.ReportFieldNames.size() ? job_.ReportFieldNames[i] : QString();
    const bool note = name.compare(QLatin1String("NOTE"), Qt::CaseInsensitive) == 0;
    FitCellText(s, text, r, tree || note ? r.left : static_cast<LONG>(cellLeft), static_cast<LONG>(right), flags);
    int drawn;
    if (note) {
      drawn = DrawNoteText(s, pg.NoteLabelWidth, text, r.left, r.top, r.right, r.bottom, flags + calc);
    } else {
      drawn = s.DrawText(text, r, flags + calc);
    }
    tallest = std::max(tallest, drawn);
    cellLeft = right;
  }
  return s.ScaleY(tallest, vbPixels, vbInches) + pg.RowSlack;
}

void Reports::FitCellText(Surface& s, const QString& text, RECT& r, LONG cellLeft, LONG cellRight, UINT& flags) {
  if (text.isEmpty()) return;
  // The text's width on one line (its own line breaks kept).
  const int need = s.LayoutText(text, r, flags & ~DT_WORDBREAK).Widest();
  if (need <= r.right - r.left) return;
  const LONG room = cellRight - cellLeft;
  if (need <= room) {
    // The insets give way, evenly, so that the whole text stands on its line.
    const LONG margin = (room - need) / 2;
    r.left = cellLeft + margin;
    r.right = cellRight - margin;
  } else {
    // No width holds it: it wraps at its blanks, and a word longer than the cell between its
    // characters, so that no character is lost.
    flags |= DT_WORDBREAK | DT_EDITCONTROL;
  }
}

int Reports::DrawNoteText(Surface& s, double noteLabelWidth, const QString& text, LONG left, LONG top, LONG right,
                          LONG bottom, UINT flags) {
  if (text.isEmpty()) return 0;
  const qsizetype bar = text.indexOf(QLatin1Char('|'));
  if (bar < 0) {
    RECT r{left, top, right, bottom};
    return s.DrawText(text, r, flags);
  }
  const LONG split = left + static_cast<LONG>(noteLabelWidth);
  int label = 0;
  if (bar > 0) {
    RECT r{left, top, split, bottom};
    label = s.DrawText(text.left(bar), r, flags);
  }
  RECT r{split, top, std::max(split, right), bottom};
  const int rest = s.DrawText(text.mid(bar), r, flags);
  return std::max(label, rest);
}

double Reports::PrintFormatedText(Surface& s, double left, double top, const QString& value, double width,
                                  double height, const QString& format) {
  const QChar align = format.isEmpty() ? QChar() : format[0];
  const UINT flags = DT_WORDBREAK + (align == QLatin1Char('R') ? DT_RIGHT : align == QLatin1Char('C') ? DT_CENTER : 0);
  const QString text = Q(vbrt::Format(value.toStdU16String(), format.mid(1).toStdU16String()));
  return PrintTextInRect(left, top, text, s, width, height, flags);
}

bool Reports::CalcRowHeight(Surface& s, TablePage& pg, SHORT page) {
  pg.LastPageKnown = false;
  texttable::Recordset* rs = job_.ReportRecordset.get();
  if (page < 1) {
    const bool rows = rs && rs->RecordCount() > 0;
    const SHORT type = job_.ReportType;
    // The user-defined label sheets need no rows.
    if (!rows && type != 7 && type != 11 && type != 12) return false;
    pg.PageStarts.assign(2, std::nullopt);
    if (rows) {
      if (job_.DescendingOrder) {
        rs->MoveLast();
      } else {
        rs->MoveFirst();
      }
      pg.PageStarts[0] = rs->GetBookmark();
    }
    pg.CurrentPage = 1;
    pg.RowSlack = 0;
  } else if (pg.PageStarts.size() > static_cast<size_t>(page) + 1) {
    pg.PageStarts[0] = pg.PageStarts[page - 1];
    pg.PageStarts.resize(2);
    pg.RowSlack = 0;
  }
  designer_.ZoomFactor = 1.0;
  SetPrintableBox(job_, page_, s.IsPrinter(), designer_.ZoomFactor);
  return true;
}

}  // namespace reports
