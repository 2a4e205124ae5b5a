// Preparing a disk's label or file list for the print preview: the report description of the
// label medium, the page layout, the chosen files as rows of "DATAEXP.TXT", then the preview;
// and the contents report of a listed drive folder.
#pragma once

#include <QString>
#include <QVariant>

#include <optional>

#include "printviews.h"

namespace app {
struct AppState;
}

namespace app::catalog {

// What the print half hands to a preparation.
struct PrintChoice {
  bool fromTree = false;  // the tree view (else the list view) holds the chosen files
  const PrintListView* list = nullptr;
  const PrintTreeView* tree = nullptr;
  bool onlyChecked = false;  // the views show check boxes: only checked items are written
  bool firstPrint = true;    // the first label job of the dialog
};

// The texts the preparations and the print half show.
QString NoFilesSelectedWarning();
inline constexpr char kNoDataToPrint[] = "No data available to print.";

// The label preparations: true when rows were written (the custom type 4 always writes one
// empty row) and the preview was shown. A failure is shown as "ERROR:   " + number + CR +
// description and answers nullopt, so that the caller shows nothing more.
std::optional<bool> PrepareFileListPrint(AppState& state, const PrintChoice& choice, const QVariant& diskInfo);
std::optional<bool> PrepareZipLabelPrint(AppState& state, const PrintChoice& choice);
std::optional<bool> PrepareCDLabelPrint(AppState& state, const PrintChoice& choice);

// Writes the chosen files (names lower-cased) into "DATAEXP.TXT" and, when there were any,
// opens the preview. Failures throw.
bool ExportCheckedItems(AppState& state, const PrintChoice& choice);
// Rows for the children of parent and, recursively, theirs: depth x IndentWidth blanks, the
// node's text and its image index as "00". True when a row was added.
bool ExportCheckedNodes(AppState& state, const PrintTreeView& tree, int parent, SHORT depth, bool onlyChecked);

// The contents report of a drive folder listed into "DATAEXP.TXT" (with or without the
// location column), shown in the preview; "No data available to print." for an empty
// listing. FoldersOnly is cleared afterwards.
void ContentsReport(AppState& state, const QString& path, bool includeLocation);

}  // namespace app::catalog
