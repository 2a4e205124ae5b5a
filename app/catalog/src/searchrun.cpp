// The catalog search run and its per-hit callback.
#include "searchrun.h"

#include <exception>

#include "appstate.h"
#include "forms.h"
#include "iteminfovariant.h"
#include "itemtypes.h"
#include "reporttable.h"
#include "xcom/com.h"
#include "xcom/tokens.h"

namespace app::catalog {

namespace {

// The run in progress: the callback has no context of its own.
struct ActiveRun {
  SearchResultTarget* target = nullptr;
  WalkControl* walk = nullptr;
  std::exception_ptr error;  // the first failure inside the callback
};
ActiveRun* g_run = nullptr;


QStringView View(BSTR text) {
  const std::u16string_view view = xcom::BstrView(text);
  return QStringView(view.data(), static_cast<qsizetype>(view.size()));
}

LONG WalkMode(const WalkControl& walk) {
  if (walk.DisksOnly) return 2;
  if (walk.FoldersOnly) return 1;
  return 0;
}

void ReportFailure(const ErrorInfo& info) {
  forms::MsgBox(ErrorMessage(info), forms::vbCritical, QStringLiteral("ERROR!"));
}

// Runs one FindItem with the callback; the walk's own answer or the callback's failure.
bool Walk(ICompCtl* compCtl, SearchResultTarget& target, WalkControl& walk, const QString& dir,
          const FindCriteria& criteria, DATE from, DATE to, SHORT mode) {
  if (g_run || !compCtl) {
    ReportFailure({vbrt::ErrInvalidCall, QString::fromStdU16String(vbrt::ErrorDescription(vbrt::ErrInvalidCall))});
    return false;
  }
  ActiveRun run{&target, &walk, nullptr};
  g_run = &run;
  xcom::ScopedToken callback(xcom::TokenKind::ItemCallback, &OnSearchResultItem);
  QString sDir = dir;
  sDir.replace(u'\\', u'/');
  const HRESULT hr = compCtl->FindItem(xcom::Bstr(sDir.toStdU16String()).Get(),
                                       xcom::Bstr(criteria.name.toStdU16String()).Get(),
                                       xcom::Bstr(criteria.note.toStdU16String()).Get(), criteria.size, from, to, mode,
                                       callback.value());
  g_run = nullptr;
  try {
    target.Finish();
  } catch (...) {
    if (!run.error) run.error = std::current_exception();
  }
  if (run.error) {
    ReportFailure(DescribeError(run.error));
    return false;
  }
  if (FAILED(hr)) {
    auto e = vbrt::RuntimeError::FromHResult(hr);
    ReportFailure({e.number(), QString::fromStdU16String(e.description())});
    return false;
  }
  return true;
}

}  // namespace

bool SearchRunning() { return g_run != nullptr; }

FindCriteria CriteriaFromInputs(const FindInputs& inputs) {
  FindCriteria c;
  c.name = inputs.name;
  if (!inputs.sizeText.isEmpty()) {
    const LONG n = vbrt::CLng(inputs.sizeText.toStdU16String());
    c.size = inputs.sizeMode == u"At least" ? n : -n;
  }
  if (!inputs.category.isEmpty() && inputs.category != u"ALL") {
    c.note = CategoryNote(inputs.category, inputs.noteText);
  } else if (!inputs.noteText.isEmpty() && inputs.noteText != u"*") {
    c.note = QStringLiteral("*") + inputs.noteText;
  }
  return c;
}

QString ResultColumnText(const ResultHit& hit, int column) {
  const qsizetype cut = hit.path.lastIndexOf(u'\\') + 1;  // the name follows the last "\"
  switch (column) {
    case kColName:
      if (hit.code == kCodeFolder) return QStringLiteral(" ").append(hit.path.mid(cut));
      return hit.path.mid(cut).toString();
    case kColSerial: return SerialColumnText(hit.serial);
    case kColLocation: {
      QString location = QStringLiteral("ROOT:\\");
      if (!hit.startFolder.isEmpty()) location.append(hit.startFolder).append(u'\\');
      return location.append(hit.path.left(cut));
    }
    case kColSize: return SizeText(hit.sizeKB);
    case kColModified: return FormatNumber(hit.date, u"yyyy/MM/dd hh:mm AMPM");
    case kColNote: return hit.note.toString();
    default: return QString();
  }
}

ResultRow RowOfHit(const ResultHit& hit) {
  ResultRow row;
  row.text = ResultColumnText(hit, kColName);
  row.icon = hit.code + 1;
  row.tag = QStringLiteral("0") + QChar(u'0' + hit.code);
  row.serial = ResultColumnText(hit, kColSerial);
  row.location = ResultColumnText(hit, kColLocation);
  row.size = ResultColumnText(hit, kColSize);
  row.modified = ResultColumnText(hit, kColModified);
  row.note = ResultColumnText(hit, kColNote);
  row.date = hit.date;
  return row;
}

bool BuildResultRow(const QString& rawPath, double serial, const QString& note, LONG sizeKB, DATE date,
                    const QString& kind, const QString& startFolder, ResultRow& row) {
  QStringView path(rawPath);
  if (path.startsWith(u'\\')) path = path.mid(1);
  row = RowOfHit({path, note, startFolder, serial, sizeKB, date, ItemTypeCode(kind)});
  return true;
}

LONG OnSearchResultItem(BSTR path, double serial, BSTR note, LONG sizeKB, DATE timeA, BSTR kind) {
  ActiveRun* run = g_run;
  if (!run) return -1;
  WalkControl& walk = *run->walk;
  if (walk.StopRequested) return -1;
  // Past the cap nothing is shown any more: end the walk instead of visiting the rest.
  if (walk.FoundCount > kResultCap) return -1;
  try {
    const QStringView kindText = View(kind);
    if (!walk.SearchText.isEmpty() && kindText != walk.SearchText) return 0;
    ++walk.FoundCount;
    ResultHit hit;
    hit.path = View(path);
    if (hit.path.startsWith(u'\\')) hit.path = hit.path.mid(1);
    hit.note = View(note);
    hit.startFolder = walk.SearchText2;
    hit.serial = serial;
    hit.sizeKB = sizeKB;
    hit.date = timeA;
    hit.code = ItemTypeCode(kindText);
    SearchResultTarget& target = *run->target;
    if (hit.code == kCodeFolder) target.ShowFolderName(hit.path.mid(hit.path.lastIndexOf(u'\\') + 1).toString());
    target.AddHit(hit);
    if (target.TakesColumns() && walk.FoundCount == kFirstScreenRows) target.RefreshNow();
    if (walk.FoundCount % kYieldEvery == 0) {
      target.Flush();
      forms::DoEvents();
    }
    return 0;
  } catch (...) {
    // Nothing may unwind through the library's walk: keep the first failure, end the walk,
    // and report it once the walk has returned.
    if (!run->error) run->error = std::current_exception();
    return -1;
  }
}

bool RunFileSearch(ICompCtl* compCtl, SearchResultTarget& target, const FindInputs* inputs, const QString& kindFilter,
                   const QString& startFolder) {
  return RunFileSearch(compCtl, target, inputs, kindFilter, startFolder, Global().walk);
}

bool RunFileSearch(ICompCtl* compCtl, SearchResultTarget& target, const FindInputs* inputs, const QString& kindFilter,
                   const QString& startFolder, WalkControl& walk) {
  walk.SearchText = kindFilter;
  walk.FoundCount = 0;
  walk.StopRequested = false;
  const SHORT mode = static_cast<SHORT>(WalkMode(walk));
  bool ok = false;
  try {
    const FindCriteria criteria = inputs ? CriteriaFromInputs(*inputs) : FindCriteria{};
    walk.SearchText2 = startFolder;
    ok = Walk(compCtl, target, walk, startFolder, criteria, walk.SearchFromDate, walk.SearchToDate, mode);
    if (walk.FoundCount >= kResultCap)
      forms::MsgBox(QString::fromStdU16String(kCapMessage), forms::vbInformation, QStringLiteral("Find File"));
  } catch (...) {
    ReportFailure(DescribeError(std::current_exception()));
    ok = false;
  }
  walk.SearchText.clear();
  walk.SearchText2.clear();
  walk.DisksOnly = false;
  return ok;
}

bool RunTimedSearch(ICompCtl* compCtl, SearchResultTarget& target, DATE since, const QString& kindFilter,
                    WalkControl& walk) {
  walk.StopRequested = false;
  walk.SearchText = kindFilter;
  walk.FoundCount = 0;
  bool ok = false;
  try {
    const DATE end = vbrt::AddSeconds(vbrt::Now(), 1);
    walk.SearchText2.clear();
    ok = Walk(compCtl, target, walk, QString(), FindCriteria{}, since, end, 2);
  } catch (...) {
    ReportFailure(DescribeError(std::current_exception()));
  }
  walk.FoundCount = 0;
  walk.SearchText.clear();
  return ok;
}

}  // namespace app::catalog
