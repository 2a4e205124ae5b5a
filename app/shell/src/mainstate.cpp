// The main window's enable rules, status texts and right-click plans.
#include "mainstate.h"

#include "global.h"
#include "iteminfovariant.h"
#include "vbrt.h"

namespace app {

namespace {
QString Fmt(double value, const char16_t* pattern) {
  return QString::fromStdU16String(vbrt::Format(value, pattern));
}
}  // namespace

bool NoDriveAssignedIn(const Settings& settings) {
  for (int code = 0; code <= 5; ++code) {
    if (!settings.DriveLetter(code).isEmpty()) return false;
  }
  return true;
}

QString CatalogNameText(const QString& lastCatalogPath) {
  // Catalog paths carry the platform's "/" between folders, or "\\" in the drive-letter form.
  const qsizetype cut = qMax(lastCatalogPath.lastIndexOf(u'\\'), lastCatalogPath.lastIndexOf(u'/'));
  return lastCatalogPath.mid(cut + 1);
}

DiskMenuEnables DiskMenuFor(const QString& typeText, const Settings& settings) {
  const SHORT code = GetDiskTypeCode(typeText, settings);
  const bool hasDrive = !settings.DriveLetter(code).isEmpty();
  DiskMenuEnables e;
  e.add = hasDrive && code != kLocalDisk && code != kNetworkConnection;
  e.update = true;
  e.printLabel = hasDrive;
  return e;
}

QString SizeText(qlonglong bytes) {
  // Byte counts of catalogued items stay far inside a double's exact range.
  const double b = double(bytes);
  return QStringLiteral("SIZE: ") + Fmt(b / 1024.0, u"#,###") + QStringLiteral("K (") + Fmt(b, u"#,##0") +
         QStringLiteral(" Bytes)");
}

TreeNodeStatus TreeNodeStatusOf(const QVariant& item) {
  TreeNodeStatus s;
  if (!IsItemInfo(item)) return s;
  const QString path = ItemInfoText(item, kInfoName).replace(u'/', u'\\');
  QString panel1 = QStringLiteral("ROOT:\\") + path;
  const double serial = ItemInfoNumber(item, kInfoSerial);
  if (!path.isEmpty() && !path.contains(u'\\') && serial != 0) {
    s.selectedDiskNumber = std::nearbyint(serial);
    panel1 += QStringLiteral("   (#") + QString::fromStdU16String(vbrt::CStr(s.selectedDiskNumber)) + u')';
  }
  s.panel1 = panel1;
  const QString type = ItemInfoText(item, kInfoType);
  qlonglong size = ItemInfoBytes(item, kInfoSize);
  if (type == QLatin1String("Floppy Disk") || type == QLatin1String("Zip Disk") || type == QLatin1String("CD-RW Disk")) {
    size -= ItemInfoBytes(item, kInfoFreeSpace);
  }
  s.panel2 = path.isEmpty() ? QString() : SizeText(size);
  s.fileItemsEnabled = !path.isEmpty();
  return s;
}

RightClickPlan RightClickPlanFor(const QVariant& item, const QString& loginState) {
  RightClickPlan plan;
  if (!IsItemInfo(item)) return plan;
  const QString path = ItemInfoText(item, kInfoName);
  if (!path.isEmpty() && path.contains(u'/')) {
    plan.menu = PopupMenu::Folder;
  } else if (!path.isEmpty()) {
    plan.menu = PopupMenu::Disk;
    plan.diskType = ItemInfoText(item, kInfoType);
    const bool master = loginState == QLatin1String("MASTER_LOGIN");
    plan.deleteVisible = master;
    plan.folderDeleteVisible = master;
    plan.renameVisible = master;
    plan.propVisible = true;
    plan.printLabelVisible = true;
  } else {
    plan.menu = PopupMenu::Disk;
    plan.deleteVisible = false;
    plan.renameVisible = false;
    plan.propVisible = false;
    plan.printLabelVisible = false;
  }
  return plan;
}

QString InsertDiskQuestion(const QString& key) {
  if (key.endsWith(QLatin1String("CD"))) {
    return QStringLiteral("Please make sure that the CD is inserted into the CD-ROM drive and press OK.");
  }
  if (key.endsWith(QLatin1String("ZIP"))) {
    return QStringLiteral("Please make sure that the Zip Disk is inserted into the Zip drive and press OK.");
  }
  return QStringLiteral("Please insert a floppy disk into the A: drive and press OK.");
}

QString TemplateFolderOfEntry(const QString& key) {
  if (key.endsWith(QLatin1String("CD"))) return QStringLiteral("CD");
  if (key.endsWith(QLatin1String("ZIP"))) return QStringLiteral("Zip");
  return QStringLiteral("Floppy");
}

}  // namespace app
