// Writes a small catalog of three disks for looking at the main window: fixture drives with
// folders and files of varied names, catalogued through the registered disk scanner.
//   shell_fixture_catalog <catalog.DKC> <scratch folder>
#include <QDir>
#include <QFile>
#include <cstdio>

#include "iofilegraber.h"
#include "iteminfovariant.h"
#include "volumes_fixture.h"
#include "xcom/com.h"

namespace {

void Put(const QString& path, int bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.write(QByteArray(bytes, 'x'));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <catalog.DKC> <scratch folder>\n", argv[0]);
    return 2;
  }
  const QString catalog = QString::fromLocal8Bit(argv[1]);
  const QString scratch = QString::fromLocal8Bit(argv[2]);
  struct Disk {
    char letter;
    UINT type;
    const char* name;
    const char* mediaType;
    double serial;
    const char* note;
    std::vector<std::pair<const char*, int>> files;
  };
  const std::vector<Disk> disks = {
      {'E', DRIVE_CDROM, "Holiday Photos 2024", "CD-RW Disk", 300, "Rome and Paris",
       {{"Rome/Colosseum at dusk.jpg", 2400000}, {"Rome/Trevi.jpg", 1800000},
        {"Paris — Été/Tour Eiffel la nuit.jpg", 3100000}, {"Paris — Été/Café de Flore.png", 950000},
        {"index.html", 4200}}},
      {'G', DRIVE_REMOVABLE, "Backup Zip 1", "Zip Disk", 100, "Tax papers",
       {{"Taxes/2023/return.pdf", 120000}, {"Taxes/2024/receipts.xlsx", 64000}, {"Letters/Brief an Jürgen.odt", 18000},
        {"readme.txt", 0}}},
      {'A', DRIVE_REMOVABLE, "Drivers Floppy", "Floppy Disk", 10, "",
       {{"SETUP.EXE", 410000}, {"DRIVER.SYS", 61440}, {"README.TXT", 2048}}},
  };
  xcom::ComPtr<IOFileGraber> scanner;
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(kProgIdOFileGraberIndependent, &clsid);
  if (SUCCEEDED(hr)) hr = xcom::CreateInstance(clsid, &scanner);
  if (FAILED(hr)) {
    std::fprintf(stderr, "no disk scanner: 0x%08x\n", unsigned(hr));
    return 1;
  }
  const xcom::Bstr doc = app::ToBstr(catalog);
  scanner->put_DocFileName(doc.Get());
  std::vector<std::unique_ptr<volumes::testing::FixtureDrive>> drives;
  for (const Disk& d : disks) {
    const QString root = scratch + u'/' + QLatin1Char(d.letter);
    QDir().mkpath(root);
    for (const auto& [file, size] : d.files) Put(root + u'/' + QString::fromUtf8(file), size);
    drives.push_back(std::make_unique<volumes::testing::FixtureDrive>(d.letter, d.type, root.toStdString()));
    const xcom::Bstr type = app::ToBstr(QString::fromLatin1(d.mediaType));
    scanner->put_DiskType(type.Get());
    scanner->put_BaseSerialNum(d.serial);
    xcom::Variant result;
    const xcom::Bstr path = app::ToBstr(QStringLiteral("%1:\\").arg(QLatin1Char(d.letter)));
    const xcom::Bstr name = app::ToBstr(QString::fromUtf8(d.name));
    const xcom::Bstr note = app::ToBstr(QString::fromUtf8(d.note));
    hr = scanner->AddNewDisk(path.Get(), name.Get(), note.Get(), &result, 0, nullptr);
    if (hr != S_OK) {
      std::fprintf(stderr, "adding %s: 0x%08x\n", d.name, unsigned(hr));
      return 1;
    }
  }
  return 0;
}
