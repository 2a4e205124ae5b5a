// Opening, backing up and compacting the catalog file.
#include "catalogfiles.h"

#include <sys/stat.h>

#include <QFileInfo>
#include <algorithm>
#include <vector>

#include "cfb.h"
#include "forms.h"
#include "icompctl.h"
#include "iostorage.h"
#include "iteminfovariant.h"
#include "vbrt.h"

namespace app {

namespace fs = std::filesystem;

namespace {

fs::path PathOf(const QString& name) { return fs::path(name.toStdString()); }
QString TextOf(const fs::path& path) { return QString::fromStdString(path.string()); }

// The same file: the same device and inode (two names of one file count as one).
bool SameFile(const fs::path& a, const fs::path& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void ShowStatusError(HRESULT hr) {
  const vbrt::RuntimeError e = vbrt::RuntimeError::FromHResult(hr);
  ShowCommandError(e.number(), QString::fromStdU16String(e.description()));
}

void ShowFileError(const std::error_code& ec) {
  const int number = ec == std::errc::no_such_file_or_directory ? vbrt::ErrFileNotFound
                     : ec == std::errc::file_exists             ? vbrt::ErrFileAlreadyExists
                     : ec == std::errc::no_space_on_device      ? vbrt::ErrDiskFull
                                                                : vbrt::ErrPermissionDenied;
  ShowCommandError(number, QString::fromStdString(ec.message()));
}

// The folder holding a file; a bare name is in the working folder.
fs::path FolderOf(const fs::path& file) { return file.has_parent_path() ? file.parent_path() : fs::path("."); }

// Whether two folders lie on one file system, where a rename between them can work.
bool OnOneFileSystem(const fs::path& a, const fs::path& b) {
  struct stat sa {
  }, sb{};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return true;  // the renames will tell
  return sa.st_dev == sb.st_dev;
}

// The disks of a catalog file, as its root lists them, read through a catalog document of its
// own (the browser control opens its catalog only for the length of each call).
HRESULT DisksOf(const fs::path& file, std::vector<std::u16string>* disks) {
  disks->clear();
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return STG_E_FILENOTFOUND;  // opening would create it
  CLSID clsid{};
  HRESULT hr = CLSIDFromProgID(kProgIdOStorageIndependent, &clsid);
  xcom::ComPtr<IOStorage> doc;
  if (SUCCEEDED(hr)) hr = xcom::CreateInstance(clsid, &doc);
  if (SUCCEEDED(hr)) hr = doc->LoadDoc(ToBstr(TextOf(file)).Get());
  if (FAILED(hr)) return hr;
  IEnumSTATSTG* raw = nullptr;
  hr = doc->EnumElements(0, &raw);
  if (SUCCEEDED(hr) && raw) {
    STATSTG st;
    ULONG got = 0;
    while (raw->Next(1, &st, &got) == S_OK && got == 1) {
      if (st.type == STGTY_STORAGE && st.pwcsName) disks->emplace_back(st.pwcsName);
      CoTaskMemFree(st.pwcsName);
    }
    raw->Release();
  }
  const HRESULT closed = doc->CloseDoc(0);
  return FAILED(hr) ? hr : closed;
}

struct Hourglass {
  Hourglass() { forms::SetScreenMousePointer(forms::vbHourglass); }
  ~Hourglass() { forms::SetScreenMousePointer(forms::vbDefault); }
};

}  // namespace

void ShowCommandError(int number, const QString& description) {
  forms::MsgBox(QStringLiteral("ERROR:  ") + QString::number(number) + u'\r' + description, forms::vbOKOnly);
}

bool EndsWithDkc(const QString& name) { return name.right(3).compare(QLatin1String("DKC"), Qt::CaseInsensitive) == 0; }

QString DefaultBackupName(DATE today) {
  return QStringLiteral("BACKUP") + QString::fromStdU16String(vbrt::Format(today, u"mmddyy")) + QStringLiteral(".DKC");
}

CatalogFiles::CatalogFiles(ICompCtl* control, Settings& settings, Login& login, fs::path programFolder, Hooks hooks)
    : control_(control), settings_(settings), login_(login), folder_(std::move(programFolder)), hooks_(std::move(hooks)) {}

QString CatalogFiles::DocFileName() const {
  if (!control_) return QString();
  xcom::Bstr name;
  control_->get_DocFileName(name.ReleaseAndGetAddressOf());
  return FromBstr(name.Get());
}

bool CatalogFiles::SetDocFileName(const QString& name) {
  if (!control_) return false;
  const xcom::Bstr bstr = ToBstr(name);
  HRESULT hr = control_->put_DocFileName(bstr.Get());
  if (FAILED(hr)) {
    ShowStatusError(hr);
    return false;
  }
  return true;
}

std::error_code CatalogFiles::Rename(const fs::path& from, const fs::path& to) const {
  if (hooks_.rename) return hooks_.rename(from, to);
  std::error_code ec;
  fs::rename(from, to, ec);
  return ec;
}

std::error_code CatalogFiles::Remove(const fs::path& file) const {
  if (hooks_.remove) return hooks_.remove(file);
  std::error_code ec;
  if (!fs::remove(file, ec) && !ec) ec = std::make_error_code(std::errc::no_such_file_or_directory);
  return ec;
}

bool CatalogFiles::CopyIsWhole(const fs::path& copy, const fs::path& catalog) const {
  std::vector<std::u16string> copied, held;
  HRESULT hr = DisksOf(catalog, &held);
  if (SUCCEEDED(hr)) hr = DisksOf(copy, &copied);
  if (FAILED(hr)) {
    ShowStatusError(hr);
    return false;
  }
  std::sort(copied.begin(), copied.end());
  std::sort(held.begin(), held.end());
  if (copied != held) {
    forms::MsgBox(QStringLiteral("The copy of the catalog is incomplete, so nothing was replaced. The catalog is as "
                                 "it was; please make room on the disk and try again."),
                  forms::vbOKOnly + forms::vbExclamation, QStringLiteral("WARNING!"));
    return false;
  }
  return true;
}

fs::path CatalogFiles::ScratchFolder(const fs::path& catalog) const {
  const fs::path beside = FolderOf(catalog);
  const bool together = hooks_.oneFileSystem ? hooks_.oneFileSystem(folder_, beside) : OnOneFileSystem(folder_, beside);
  return together ? folder_ : beside;
}

void CatalogFiles::Status(const QString& text) const {
  if (hooks_.status) hooks_.status(text);
}

void CatalogFiles::Open() {
  forms::CommonDialog dialog;
  dialog.DialogTitle = QStringLiteral("Open Disk Catalog");
  dialog.InitDir = TextOf(folder_);
  dialog.CancelError = true;
  dialog.FileName = QStringLiteral("*.DKC");
  dialog.Owner = hooks_.owner;
  try {
    dialog.ShowOpen();
  } catch (const vbrt::RuntimeError& e) {
    if (e.number() == vbrt::ErrCancelSelected) return;
    ShowCommandError(e.number(), QString::fromStdU16String(e.description()));
    return;
  }
  const QString name = dialog.FileName;
  if (name.isEmpty() || !EndsWithDkc(name)) return;
  Hourglass busy;
  if (!SetDocFileName(name)) {
    // No catalog stays open; the one remembered for the next start stays as it was.
    SetDocFileName(QString());
    login_.LoginState.clear();
    if (control_) control_->Refresh();
    if (hooks_.catalogNameChanged) hooks_.catalogNameChanged(QString());
    return;
  }
  bool admitted = false;
  try {
    admitted = hooks_.checkPassword && hooks_.checkPassword();
  } catch (const vbrt::RuntimeError& e) {
    ShowCommandError(e.number(), QString::fromStdU16String(e.description()));
  }
  if (!admitted) {
    SetDocFileName(QString());
    login_.LoginState.clear();
  }
  forms::DoEvents();
  if (control_) {
    control_->Refresh();
    const xcom::Bstr root = ToBstr(QString());
    control_->SetSelectedItem(root.Get(), 0);
  }
  // Only a catalog that passed its gate is the one to reopen at the next start: a refused one
  // leaves the previous catalog (or "-1") there, never an empty name that no start can open.
  const QString open = DocFileName();
  if (admitted && !open.isEmpty()) settings_.LastCatalogPath = open;
  if (hooks_.catalogNameChanged) hooks_.catalogNameChanged(open);
}

void CatalogFiles::Backup() {
  const QString catalog = DocFileName();
  if (catalog.isEmpty()) return;
  forms::CommonDialog dialog;
  dialog.DialogTitle = QStringLiteral("Backup Disk Catalog");
  dialog.InitDir = TextOf(folder_);
  dialog.CancelError = true;
  dialog.Filter = QStringLiteral("Disk Catalogs (*.DKC)|*.DKC");
  dialog.FileName = DefaultBackupName(hooks_.today ? hooks_.today() : vbrt::Date());
  dialog.Flags |= forms::cdlOFNOverwritePrompt;
  dialog.Owner = hooks_.owner;
  try {
    dialog.ShowSave();
  } catch (const vbrt::RuntimeError& e) {
    if (e.number() == vbrt::ErrCancelSelected) return;
    ShowCommandError(e.number(), QString::fromStdU16String(e.description()));
    return;
  }
  Hourglass busy;
  Status(QStringLiteral("Backup process in progress ..."));
  const QString name = dialog.FileName;
  struct Done {
    const CatalogFiles* self;
    ~Done() { self->Status(QStringLiteral("Done.")); }
  } done{this};
  if (name.isEmpty() || !EndsWithDkc(name)) {
    forms::MsgBox(QStringLiteral("A catalog backup must be a \".DKC\" file: nothing was written to ") + name +
                      QStringLiteral("."),
                  forms::vbOKOnly + forms::vbExclamation, QStringLiteral("WARNING!"));
    return;
  }
  const fs::path target = PathOf(name);
  if (SameFile(target, PathOf(catalog))) {
    forms::MsgBox(QStringLiteral("The backup cannot replace the open catalog itself. Please choose another file name."),
                  forms::vbOKOnly + forms::vbExclamation, QStringLiteral("WARNING!"));
    return;
  }
  // The copy is written beside the target and takes its name only once it is complete, so a
  // failure part-way leaves an older backup of that name as it was.
  fs::path partial = target;
  partial += ".partial";
  std::error_code ignored;
  fs::remove(partial, ignored);
  const xcom::Bstr partialName = ToBstr(TextOf(partial));
  HRESULT hr = control_ ? control_->CreateBackup(partialName.Get()) : E_FAIL;
  if (FAILED(hr)) {
    fs::remove(partial, ignored);
    ShowStatusError(hr);
    return;
  }
  // An older backup of that name is replaced only by a copy that holds the catalog's disks.
  if (!CopyIsWhole(partial, PathOf(catalog))) {
    fs::remove(partial, ignored);
    return;
  }
  if (std::error_code ec = Rename(partial, target)) {
    fs::remove(partial, ignored);
    ShowFileError(ec);
  }
}

void CatalogFiles::Compress() {
  const QString catalog = DocFileName();
  const fs::path catalogPath = PathOf(catalog);
  // The scratch copies lie where renames to and from the catalog can work: in the program
  // folder, or beside a catalog on another file system (a USB disk, a second partition, a share).
  const fs::path fresh = FreshCopy(catalogPath), old = OldCopy(catalogPath);
  if (catalog.isEmpty() || SameFile(catalogPath, fresh) || SameFile(catalogPath, old) || catalogPath == fresh ||
      catalogPath == old) {
    forms::MsgBox(catalog.isEmpty() ? QStringLiteral("There is no open catalog to compress.")
                                    : QStringLiteral("The open catalog is a scratch copy of an earlier compression "
                                                     "and cannot be compressed. Please open the catalog itself."),
                  forms::vbOKOnly + forms::vbExclamation, QStringLiteral("WARNING!"));
    return;
  }
  bool ok = false;
  {
    Hourglass busy;
    Status(QStringLiteral("Compressing catalog ..."));
    struct Done {
      const CatalogFiles* self;
      ~Done() { self->Status(QStringLiteral("Done.")); }
    } done{this};
    // A fresh, compact copy of the open catalog.
    std::error_code ignored;
    fs::remove(fresh, ignored);
    const xcom::Bstr freshName = ToBstr(TextOf(fresh));
    HRESULT hr = control_->CreateBackup(freshName.Get());
    if (FAILED(hr)) {
      fs::remove(fresh, ignored);
      ShowStatusError(hr);
      return;
    }
    // The copy must hold the catalog's disks before anything is renamed or the old copy of an
    // earlier run deleted.
    if (!CopyIsWhole(fresh, catalogPath)) {
      fs::remove(fresh, ignored);
      return;
    }
    // Only the old copy of an earlier run may be missing.
    if (std::error_code ec = Remove(old); ec && ec != std::errc::no_such_file_or_directory) {
      ShowFileError(ec);
      return;
    }
    if (std::error_code ec = Rename(catalogPath, old)) {
      ShowFileError(ec);
      return;
    }
    if (std::error_code ec = Rename(fresh, catalogPath)) {
      // The catalog goes back to its name; the fresh copy stays as "tmp123.dkc".
      std::error_code back = Rename(old, catalogPath);
      ShowFileError(ec);
      if (back) ShowFileError(back);
      return;
    }
    ok = true;
  }
  if (ok) {
    forms::MsgBox(QStringLiteral("Compression proccess is completed successfully."),
                  forms::vbOKOnly + forms::vbInformation, QStringLiteral("Xendora"));
  }
}

}  // namespace app
