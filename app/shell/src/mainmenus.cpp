// frmMain's menu tree, popup menus, toolbar and status bar panels, named as the commands are.
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "frmmain.h"
#include "printlaunchers.h"

namespace app {

namespace {

// One menu item: its name and caption; "-" is a separator; a name beginning "@" opens a
// submenu whose items follow up to the matching "@end".
struct MenuEntry {
  const char* name;
  const char* caption;
};

constexpr MenuEntry kFile[] = {
    {"mnuAdd", "&Add New Disk"},       {"mnuUpdateDisk", "&Update Disk"},
    {"mnuFind", "&Find..."},           {"-", ""},
    {"mnuFileDelete", "&Delete"},      {"mnuFileRename", "&Rename"},
    {"mnuFileProp", "Propertie&s"},    {"-", ""},
    {"mnuPrintFull", "&Print Full Catalog"}, {"mnuBatchPrint", "Ba&tch Load/Label"},
    {"-", ""},                         {"mnuOptions", "&Options..."},
    {"-", ""},                         {"mnuOpen", "Open/New &Catalog ..."},
    {"mnuBackup", "&Backup Catalog ..."}, {"mnuCompress", "&Compress Catalog"},
    {"-", ""},                         {"mnuClose", "&Close"},
    {"mnuExit", "&Exit"},
};
constexpr MenuEntry kView[] = {
    {"mnuViewBtn", "&Button Bar"}, {"mnuViewStat", "&Status Bar"}, {"mnuRefresh", "&Refresh"},
    {"mnuViewTxtLab", "&Text Labels"},
};
constexpr MenuEntry kLabels[] = {
    {"mnuPrintSelection", "Print Label for &Highlighted Disk"},
    {"mnuBatchPrint1", "&Batch Load/Label"},
    {"-", ""},
    {"@mnuToolsUserDefined", "Print &User Defined Labels"},
    {"mnuToolsPrintFloppy", "&Floppy Disk(s)"},
    {"@mnuToolsPrintZip", "&Zip Disk(s)"},
    {"mnuZipLabel", "&Zip Label (Avery 8925, 5925)"},
    {"mnuZipCaseIns", "&Case Cover Insert (Xendora)"},
    {"@end", ""},
    {"@mnuToolsPrintCD", "&CD"},
    {"mnuCDLabel8931", "CD Label (Avery 8931)"},
    {"mnuCDLabel5824", "CD Label (Avery 5824)"},
    {"mnuCDInsFront", "Case Insert (Xendora)"},
    {"mnuCDIns8931", "Case Insert (Avery 8931)"},
    {"@end", ""},
    {"@end", ""},
};
constexpr MenuEntry kReports[] = {
    {"mnuPrintSelDiskRpt", "Print Report for &Highlighted Disk"},
    {"mnuPrintFull1", "Print Full Catalog"},
    {"-", ""},
    {"mnuToolPrintDir", "Print &Windows Directory..."},
};
constexpr MenuEntry kTools[] = {{"mnuBackup1", "&Backup Catalog ..."}, {"mnuCompress1", "&Compress Catalog"}};
constexpr MenuEntry kHelp[] = {
    {"mnuHelpDocs", "Xendora &Documentation"}, {"mnuHelpWeb", "&Xendora Web Site"}, {"-", ""},
    {"mnuAbout", "&About Xendora..."},
};
constexpr MenuEntry kDiskPopup[] = {
    {"mnuAdd1", "&Add New Disk"}, {"mnuUpdate1", "&Update Disk"}, {"mnuFind1", "&Find..."},
    {"-", ""},                    {"mnuDel1", "&Delete"},         {"mnuRename1", "&Rename"},
    {"mnuProp1", "Proper&ties"},  {"-", ""},                      {"mnuRefresh1", "Refre&sh"},
    {"mnuOptions1", "&Options..."}, {"-", ""},                    {"mnuPrnLabel1", "Print &Label"},
    {"mnuPrnRpt", "Print Report"},
};
constexpr MenuEntry kFolderPopup[] = {
    {"mnuDel2", "&Delete"}, {"mnuProp2", "Proper&ties"}, {"-", ""}, {"mnuRefresh2", "Refre&sh"},
};
constexpr MenuEntry kTrayPopup[] = {
    {"mnuIconQolv", "&Open Xendora"}, {"mnuIconAdd", "&Add Disk"},   {"mnuIconUpdate", "&Update Disk"},
    {"mnuIconFind", "&Find..."},      {"@mnuIconPrint", "&Print Label"},
    {"mnuSubFloppy", "Floppy disk"},  {"mnuSubZip", "Zip Disk"},     {"mnuSubCD", "CD-RW Disk"},
    {"@end", ""},                     {"mnuIconOptions", "Op&tions ..."}, {"mnuIconExit", "Exit"},
};

template <size_t N>
void Fill(QMainWindow* owner, QMenu* menu, const MenuEntry (&entries)[N]) {
  std::vector<QMenu*> stack{menu};
  for (const MenuEntry& e : entries) {
    const QString name = QString::fromLatin1(e.name);
    if (name == QLatin1String("-")) {
      stack.back()->addSeparator();
    } else if (name == QLatin1String("@end")) {
      stack.pop_back();
    } else if (name.startsWith(u'@')) {
      QMenu* sub = stack.back()->addMenu(QString::fromLatin1(e.caption));
      sub->setObjectName(name.mid(1));
      sub->menuAction()->setObjectName(name.mid(1));
      stack.push_back(sub);
    } else {
      auto* action = new QAction(QString::fromLatin1(e.caption), owner);
      action->setObjectName(name);
      stack.back()->addAction(action);
    }
  }
}

template <size_t N>
QMenu* MenuOf(QMainWindow* owner, const char* name, const char* caption, const MenuEntry (&entries)[N],
              bool onBar) {
  QMenu* menu = onBar ? owner->menuBar()->addMenu(QString::fromLatin1(caption))
                      : new QMenu(QString::fromLatin1(caption), owner);
  menu->setObjectName(QString::fromLatin1(name));
  Fill(owner, menu, entries);
  return menu;
}

// The padlock of the "SEC" panel: closed for "LOCK", open for "UNLOCK".
QPixmap Padlock(bool locked) {
  QPixmap pixmap(14, 14);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(90, 90, 90), 1.6));
  const QRectF shackle = locked ? QRectF(3.5, 1, 7, 8) : QRectF(6.5, 0, 7, 8);
  p.drawArc(shackle, 0, 180 * 16);
  p.drawLine(QPointF(shackle.left(), 5), QPointF(shackle.left(), 7));
  if (locked) p.drawLine(QPointF(shackle.right(), 5), QPointF(shackle.right(), 7));
  p.setBrush(locked ? QColor(200, 150, 30) : QColor(150, 180, 120));
  p.drawRoundedRect(QRectF(2, 6.5, 10, 7), 1.5, 1.5);
  return pixmap;
}

}  // namespace

void frmMain::BuildMenus() {
  MenuOf(this, "mnuFile", "&File", kFile, true);
  MenuOf(this, "mnuView", "&View", kView, true);
  MenuOf(this, "mnuLabels", "&Labels", kLabels, true);
  MenuOf(this, "mnuPrint", "&Reports", kReports, true);
  MenuOf(this, "mnuTools", "&Tools", kTools, true);
  MenuOf(this, "mnuHelp", "&Help", kHelp, true);
  MenuOf(this, "mnuJRX", "", kDiskPopup, false);
  MenuOf(this, "mnuFolder", "Folder", kFolderPopup, false);
  MenuOf(this, "mnuIcon", "", kTrayPopup, false);
  for (const char* name : {"mnuViewBtn", "mnuViewStat"}) {
    Action(QString::fromLatin1(name))->setCheckable(true);
    Action(QString::fromLatin1(name))->setChecked(true);
  }
  Action(QStringLiteral("mnuViewTxtLab"))->setCheckable(true);
}

QAction* frmMain::Action(const QString& name) const { return findChild<QAction*>(name); }

QMenu* frmMain::Menu(const QString& name) const { return findChild<QMenu*>(name); }

void frmMain::BuildToolbar() {
  struct Button {
    const char* key;
    const char* caption;
    QStyle::StandardPixmap icon;
    const char* entries[3][2];
  };
  static const Button buttons[] = {
      {"Add", "Add Disk", QStyle::SP_DriveFDIcon,
       {{"Floppy Disk", "ADDFLP"}, {"Zip Disk", "ADDZIP"}, {"CD-RW Disk", "ADDCD"}}},
      {"Update", "Update Disk", QStyle::SP_BrowserReload,
       {{"Floppy Disk", "UPDFLP"}, {"Zip Disk", "UPDZIP"}, {"CD-RW Disk", "UPDCD"}}},
      {"Labels", "Print Label", QStyle::SP_FileIcon, {}},
      {"Print", "Reports", QStyle::SP_FileDialogDetailedView, {}},
      {"Find", "Find", QStyle::SP_FileDialogContentsView, {}},
      {"Tools", "Tools", QStyle::SP_ComputerIcon, {}},
      {"Options", "Options", QStyle::SP_FileDialogInfoView, {}},
  };
  toolbar_ = addToolBar(QStringLiteral("Toolbar2"));
  toolbar_->setObjectName(QStringLiteral("Toolbar2"));
  toolbar_->setMovable(false);
  toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
  toolbar_->installEventFilter(this);
  for (const Button& b : buttons) {
    const QString key = QString::fromLatin1(b.key);
    if (key == QLatin1String("Find")) toolbar_->addSeparator();
    auto* action = new QAction(style()->standardIcon(b.icon), QString::fromLatin1(b.caption), this);
    action->setObjectName(QStringLiteral("Toolbar2.") + key);
    action->setToolTip(QString::fromLatin1(b.caption));
    action->setProperty("caption", QString::fromLatin1(b.caption));
    toolbar_->addAction(action);
    if (b.entries[0][0]) {
      auto* menu = new QMenu(this);
      menu->setObjectName(QStringLiteral("Toolbar2.") + key + QStringLiteral(".menu"));
      for (const auto& entry : b.entries) {
        QAction* item = menu->addAction(QString::fromLatin1(entry[0]));
        item->setObjectName(QString::fromLatin1(entry[1]));
      }
      action->setMenu(menu);
      if (auto* button = qobject_cast<QToolButton*>(toolbar_->widgetForAction(action))) {
        button->setPopupMode(QToolButton::MenuButtonPopup);
      }
    }
  }
  SetTextLabels(false);
}

void frmMain::SetTextLabels(bool on) {
  toolbar_->setToolButtonStyle(on ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
  for (QAction* action : toolbar_->actions()) {
    if (action->isSeparator()) continue;
    action->setText(on ? action->property("caption").toString() : QString());
  }
}

void frmMain::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar1"));
  bar->setSizeGripEnabled(true);
  auto panel = [&](const char* name, int stretch) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMargin(1);
    bar->addPermanentWidget(label, stretch);
    return label;
  };
  panel1_ = panel("Panel1", 6);
  panel2_ = panel("Panel2", 3);
  catPanel_ = panel("CAT", 2);
  secPanel_ = panel("SEC", 0);
  secPanel_->setMinimumWidth(56);
  secPanel_->installEventFilter(this);
  secPanel_->setProperty("image", QString());
  secPanel_->setProperty("panelText", QString());
}

void frmMain::ShowSecurity(bool locked) {
  const QString text = locked ? QStringLiteral("ON") : QStringLiteral("OFF");
  secPanel_->setProperty("image", locked ? QStringLiteral("LOCK") : QStringLiteral("UNLOCK"));
  // The image and the text side by side.
  QPixmap icon = Padlock(locked);
  QPixmap both(icon.width() + 30, 16);
  both.fill(Qt::transparent);
  QPainter p(&both);
  p.drawPixmap(0, 1, icon);
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(QRect(icon.width() + 4, 0, 26, 16), Qt::AlignVCenter | Qt::AlignLeft, text);
  p.end();
  secPanel_->setPixmap(both);
  secPanel_->setProperty("panelText", text);
  secPanel_->setToolTip(text);
}

QString frmMain::PanelText(const QString& key) const {
  if (key == QLatin1String("SEC")) return secPanel_->property("panelText").toString();
  if (auto* label = findChild<QLabel*>(key == QLatin1String("1")   ? QStringLiteral("Panel1")
                                       : key == QLatin1String("2") ? QStringLiteral("Panel2")
                                                                   : key)) {
    return label->text();
  }
  return QString();
}

void frmMain::SetPanelText(const QString& key, const QString& text) {
  if (key == QLatin1String("1")) {
    panel1_->setText(text);
  } else if (key == QLatin1String("2")) {
    panel2_->setText(text);
  } else if (key == QLatin1String("CAT")) {
    catPanel_->setText(text);
  }
}

}  // namespace app
