// Catalog and drive listings: their drivers, callbacks and row builders.
#include "listings.h"

#include <exception>

#include "appstate.h"
#include "forms.h"
#include "iteminfovariant.h"
#include "itemtypes.h"
#include "reporttable.h"
#include "texttable.h"
#include "xcom/com.h"
#include "xcom/tokens.h"

namespace app::catalog {

namespace {


// The listing in progress; the callbacks have no context of their own.
struct ActiveListing {
  WalkControl* walk = nullptr;
  PrintJob* job = nullptr;
  const PrintJob* constJob = nullptr;
  ProgressTarget* progress = nullptr;
  ListingListTarget* list = nullptr;
  ListingTreeTarget* tree = nullptr;
  std::ostream* out = nullptr;
  std::exception_ptr error;
  int lostNodes = 0;  // tree nodes whose parent was not there
};
ActiveListing* g_listing = nullptr;

class ListingScope {
 public:
  explicit ListingScope(ActiveListing& listing) {
    if (g_listing) throw vbrt::RuntimeError(vbrt::ErrInvalidCall);
    g_listing = &listing;
  }
  ~ListingScope() { g_listing = nullptr; }
};

void Progress(ActiveListing& l, const QString& text) {
  if (l.progress) l.progress->SetProcessMessage(text);
}

// The common start of every callback: count, stop test. False: answer -1.
bool Begin(ActiveListing& l) {
  ++l.walk->FoundCount;
  return !l.walk->StopRequested;
}

void YieldEvery200(ActiveListing& l) {
  if (l.walk->FoundCount % 200 == 0) forms::DoEvents();
}

template <class F>
LONG Guarded(F&& body) {
  ActiveListing* l = g_listing;
  if (!l) return -1;
  // The walk goes on after a callback failed; once an error is held, nothing more is written.
  if (l->error) return -1;
  try {
    return body(*l);
  } catch (...) {
    if (!l->error) l->error = std::current_exception();
    return -1;
  }
}

void Rethrow(ActiveListing& l) {
  if (l.error) std::rethrow_exception(l.error);
}

void CheckStatus(HRESULT hr) {
  if (FAILED(hr)) throw vbrt::RuntimeError::FromHResult(hr);
}

QString Blanks(LONG n) { return QString(static_cast<qsizetype>(std::max<LONG>(n, 0)), u' '); }

}  // namespace

std::optional<QStringList> DirectoryReportRow(const QString& path, double serial, const QString& note, LONG sizeKB,
                                              DATE date, const QString& kind, bool includeLocation, LONG indentWidth,
                                              bool foldersOnly) {
  QString name = NameOfPath(path);
  const int depth = DepthOfPath(path);
  QString code;
  const QString type = GetItemTypeText(kind, code, name, foldersOnly);
  if (code.isEmpty()) return std::nullopt;
  if (kind == u"FOLDER") name = QStringLiteral(" ") + name;
  else if (kind.toUpper() != u"FILE") name = QStringLiteral("  ") + name;
  QStringList row;
  if (includeLocation) {
    row << name.toUpper() + code << SerialFieldText(serial) << LocationFieldText(path.left(path.lastIndexOf(u'\\')))
        << type;
  } else {
    row << Blanks(depth * indentWidth) + name + code << SerialFieldText(serial) << type << SizeText(sizeKB);
  }
  row << CatalogDateText(date) << note;
  return row;
}

std::optional<QStringList> DiskDirRow(const QString& path, bool first, LONG sizeKB, DATE date, const QString& kind,
                                      bool includeLocation, LONG indentWidth, bool foldersOnly) {
  QString name, location;
  int depth = 0;
  if (first) {
    if (includeLocation) return std::nullopt;
    name = path;
  } else {
    name = NameOfPath(path);
    location = path.left(path.lastIndexOf(u'\\'));
    depth = DepthOfPath(path);
  }
  QString code;
  const QString type = GetItemTypeText(kind, code, name, foldersOnly);
  if (code.isEmpty()) return std::nullopt;
  if (kind == u"FOLDER") name = QStringLiteral(" ") + name;
  QStringList row;
  if (includeLocation) row << name.toUpper() + code << location << type;
  else row << Blanks(depth * indentWidth) + name + code << type;
  row << SizeText(sizeKB) << ShortDateText(date);
  return row;
}

LONG OnReportTreeItem(BSTR pathB, double, BSTR, LONG sizeKB, DATE timeA, BSTR kindB) {
  return Guarded([&](ActiveListing& l) -> LONG {
    const QString kind = app::FromBstr(kindB);
    if (kind == u"FILE" && l.walk->FoldersOnly) return 0;
    if (!Begin(l)) return -1;
    QString path = app::FromBstr(pathB);
    if (path.startsWith(u'\\')) path.remove(0, 1);
    const QString name = NameOfPath(path);
    const QString parentPath = path.left(path.lastIndexOf(u'\\'));
    const QString parentKey = path.contains(u'\\') ? MakeTreeKey(parentPath) : QString::fromUtf16(kRootTreeKey);
    QString code;
    const QString type = GetItemTypeText(kind, code, name, l.walk->FoldersOnly);
    if (code.isEmpty()) return 0;
    const int icon = code.toInt();
    const bool fillList = l.list != nullptr;
    const bool fillTree = l.tree != nullptr;
    ListingItem item;
    bool addNode = true;
    if (kind == u"FOLDER") {
      if (fillTree && !l.tree->AddNode(parentKey, MakeTreeKey(path), name, icon)) ++l.lostNodes;
      item.text = QStringLiteral(" ") + name;
      addNode = false;
    } else if (kind == u"DISK") {
      if (fillTree && !l.tree->AddNode(parentKey, MakeTreeKey(path), name, icon)) ++l.lostNodes;
      item.text = QStringLiteral("  ") + name;
      addNode = false;
    } else {
      item.text = name;
    }
    if (addNode) {
      if (fillTree && !l.tree->AddNode(parentKey, QString(), name, icon)) ++l.lostNodes;
      Progress(l, path);
    }
    if (fillList) {
      item.icon = icon;
      item.tag = code;
      item.folder = FolderOfPath(path);
      item.size = SizeText(sizeKB);
      item.date = ShortDateText(timeA);
      item.type = type;
      l.list->AddItem(item);
    }
    YieldEvery200(l);
    return 0;
  });
}

bool FillReportTree(ProgressTarget* form, ICompCtl* compCtl, ListingListTarget* listView, ListingTreeTarget* treeView,
                    const QString& startPath, bool fillList, bool fillTree, SHORT srchType, WalkControl& walk,
                    PrintJob& job) {
  ActiveListing l;
  l.walk = &walk;
  l.job = &job;
  l.progress = form;
  l.list = fillList ? listView : nullptr;
  l.tree = fillTree ? treeView : nullptr;
  bool ok = true;
  try {
    WriteReportTableHeader(job, QStringLiteral("NAME"), QString::fromLatin1(kTreeViewFile));
    if (form) form->SetProcessMessage(QStringLiteral("Processing file ..."));
    walk.StopRequested = false;
    walk.FoundCount = 0;
    if (l.tree) l.tree->AddRoot(startPath, 2);
    HRESULT hr = E_POINTER;
    {
      ListingScope scope(l);
      xcom::ScopedToken callback(xcom::TokenKind::ItemCallback, &OnReportTreeItem);
      if (compCtl)
        hr = compCtl->FindItem(xcom::Bstr(startPath.toStdU16String()).Get(), xcom::Bstr(u"").Get(),
                               xcom::Bstr(u"").Get(), 0, 0, 0, srchType, callback.value());
    }
    Rethrow(l);
    CheckStatus(hr);
  } catch (...) {
    forms::MsgBox(QStringLiteral("ERROR: ") + QString::number(DescribeError(std::current_exception()).number) +
                      QStringLiteral("\r\n") + DescribeError(std::current_exception()).description,
                  forms::vbCritical, QStringLiteral("ERROR!"));
    ok = false;
  }
  walk.StopRequested = false;
  walk.FoundCount = 0;
  if (l.tree) l.tree->Finish();
  return ok;
}

LONG OnDirectoryReportItem(BSTR pathB, double serial, BSTR noteB, LONG sizeKB, DATE timeA, BSTR kindB) {
  return Guarded([&](ActiveListing& l) -> LONG {
    if (!Begin(l)) return -1;
    const QString path = app::FromBstr(pathB);
    const QString kind = app::FromBstr(kindB);
    auto row = DirectoryReportRow(path, serial, app::FromBstr(noteB), sizeKB, timeA, kind, l.job->IncludeLocation,
                                  l.job->IndentWidth, l.walk->FoldersOnly);
    if (!row) return 0;
    AppendReportRow(*l.job, *row);
    if (kind == u"FOLDER") Progress(l, path);
    YieldEvery200(l);
    return 0;
  });
}

void RunDirectoryReport(ProgressTarget* form, ICompCtl* compCtl, const QString& path, WalkControl& walk,
                        PrintJob& job) {
  SHORT srchType = 0;
  if (walk.FoldersOnly) srchType = 1;
  if (walk.DisksOnly) srchType = 2;
  if (walk.CurrentLevelOnly) srchType += 100;
  walk.StopRequested = false;
  ActiveListing l;
  l.walk = &walk;
  l.job = &job;
  l.progress = form;
  HRESULT hr = E_POINTER;
  {
    ListingScope scope(l);
    xcom::ScopedToken callback(xcom::TokenKind::ItemCallback, &OnDirectoryReportItem);
    if (compCtl)
      hr = compCtl->FindItem(xcom::Bstr(path.toStdU16String()).Get(), xcom::Bstr(u"").Get(), xcom::Bstr(u"").Get(), 0,
                             0, 0, srchType, callback.value());
  }
  walk.StopRequested = false;
  walk.FoundCount = 0;
  walk.DisksOnly = false;
  Rethrow(l);
  CheckStatus(hr);
}

LONG OnDiskDirItem(BSTR pathB, double, BSTR, LONG sizeKB, DATE timeA, BSTR kindB) {
  return Guarded([&](ActiveListing& l) -> LONG {
    if (!Begin(l)) return -1;
    const QString path = app::FromBstr(pathB);
    const QString kind = app::FromBstr(kindB);
    auto row = DiskDirRow(path, l.walk->FoundCount == 1, sizeKB, timeA, kind, l.constJob->IncludeLocation,
                          l.constJob->IndentWidth, l.walk->FoldersOnly);
    if (row) {
      if (kind == u"FOLDER") Progress(l, path);
      std::vector<std::string> values;
      values.reserve(row->size());
      for (const QString& v : *row) values.push_back(v.toStdString());
      *l.out << texttable::FormatRow(values);
      if (!*l.out) throw vbrt::RuntimeError(vbrt::ErrDiskFull);
    }
    YieldEvery200(l);
    return 0;
  });
}

void WriteDriveListing(ProgressTarget* form, IOFileGraber* scanner, const QString& drivePath, SHORT srchType,
                       std::ostream& out, WalkControl& walk, const PrintJob& job) {
  walk.StopRequested = false;
  walk.FoundCount = 0;
  ActiveListing l;
  l.walk = &walk;
  l.constJob = &job;
  l.progress = form;
  l.out = &out;
  HRESULT hr = E_POINTER;
  {
    ListingScope scope(l);
    xcom::ScopedToken callback(xcom::TokenKind::ItemCallback, &OnDiskDirItem);
    if (scanner) hr = scanner->DisplayDirectoryFiles(xcom::Bstr(drivePath.toStdU16String()).Get(), srchType,
                                                     callback.value());
  }
  walk.StopRequested = false;
  walk.FoundCount = 0;
  Rethrow(l);
  CheckStatus(hr);
}

}  // namespace app::catalog
