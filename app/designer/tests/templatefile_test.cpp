// Custom template files: the designer's objects written and read back through the registered
// template store, the file's streams as an independent compound-file reader lists them, the
// files a load refuses, a save that fails part-way, and the Save and Load commands of the
// preview window with their dialogs.
#include <gtest/gtest.h>

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <limits>
#include <map>

#include "cfb.h"
#include "currentprinter.h"
#include "designeritems.h"
#include "frmprint.h"
#include "iteminfovariant.h"
#include "kyp.h"
#include "previewsurface.h"
#include "printersurface.h"
#include "templatefile.h"
#include "test_support.h"
#include "vbrt.h"
#include "xcom/xcom.h"

namespace designer {
namespace {

using test::Script;

// A picture file's bytes: a small image in the given format.
QByteArray PictureFile(const char* format, QColor colour, int w = 24, int h = 12) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}

app::CustomTextRecord TextRecord(const QString& text, double left, double top) {
  app::CustomTextRecord r;
  r.Text = text;
  r.Left = left;
  r.Top = top;
  r.Width = 2.125;
  r.Height = 0.375;
  r.FontName = QStringLiteral("Arial");
  r.FontSize = 12;
  return r;
}

bool SameText(const app::CustomTextRecord& a, const app::CustomTextRecord& b) {
  return a.Text == b.Text && a.Left == b.Left && a.Top == b.Top && a.Width == b.Width && a.Height == b.Height &&
         a.FontName == b.FontName && a.FontSize == b.FontSize && a.FontBold == b.FontBold && a.FontItal == b.FontItal &&
         a.FontUnder == b.FontUnder && a.FontColor == b.FontColor && a.FontAlign == b.FontAlign &&
         a.FontAngle == b.FontAngle;
}

// Every stream of a compound file by its path, as python3-olefile reads it (hex).
std::map<QString, QString> OlefileStreams(const QString& file) {
  QProcess p;
  p.start(QStringLiteral("/usr/bin/python3"),
          {QStringLiteral("-c"),
           QStringLiteral("import olefile,sys\n"
                          "ole=olefile.OleFileIO(sys.argv[1])\n"
                          "for e in ole.listdir(streams=True, storages=True):\n"
                          "  t=ole.get_type(e)\n"
                          "  d=ole.openstream(e).read().hex() if t==olefile.STGTY_STREAM else '/'\n"
                          "  print('/'.join(e) + '\\t' + d)\n"),
           file});
  p.waitForFinished(60000);
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  std::map<QString, QString> out;
  for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
    const qsizetype tab = line.indexOf(u'\t');
    if (tab > 0) out[line.left(tab)] = line.mid(tab + 1);
  }
  return out;
}

// Little-endian builders of expected stream bytes.
struct Bytes {
  QByteArray b;
  Bytes& I16(int v) { return Raw(&v, 2); }
  Bytes& I32(qint64 v) { return Raw(&v, 4); }
  Bytes& I64(qint64 v) { return Raw(&v, 8); }
  Bytes& R8(double v) { return Raw(&v, 8); }
  Bytes& U8(int v) { return Raw(&v, 1); }
  Bytes& String(const QString& s) {  // the string form: byte count, units, one zero unit
    I32((s.size() + 1) * 2);
    for (QChar c : s) I16(c.unicode());
    return I16(0);
  }
  Bytes& Tagged(const QString& s) { return I16(VT_BSTR).String(s); }
  QString Hex() const { return QString::fromLatin1(b.toHex()); }

 private:
  Bytes& Raw(const void* p, int n) {
    b.append(static_cast<const char*>(p), n);
    return *this;
  }
};

QStringList FolderEntries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

struct TemplateFile : test::PreviewFixture {
  QString File(const QString& name) const { return dir.filePath(name); }
  // Puts a live text into the first free slot of the records.
  void AddText(const app::CustomTextRecord& r) {
    auto& texts = designer.CustomTexts;
    const qsizetype spare = texts.size() - 1;
    for (qsizetype i = 0; i < spare; ++i)
      if (DesignerObjects::IsFree(texts[i])) {
        texts[i] = r;
        return;
      }
    texts.insert(spare, r);
  }
  void AddPicture(double left, double top, const QString& name, const QByteArray& bytes) {
    auto& pictures = designer.CustomPictures;
    int slot = -1;
    for (qsizetype i = 0; i + 1 < pictures.size() && slot < 0; ++i)
      if (DesignerObjects::IsFree(pictures[i])) slot = static_cast<int>(i);
    if (slot < 0) {
      slot = static_cast<int>(pictures.size()) - 1;
      pictures.append(app::CustomPictureRecord{});
    }
    pictures[slot] = app::CustomPictureRecord{left, top, name};
    store.Put(slot, QImage::fromData(bytes), bytes);
  }
  QString Save(const QString& name) {
    const QString file = File(name);
    TemplateError error;
    EXPECT_TRUE(WriteTemplateFile(file, LiveObjects(designer, store), &error)) << error.description.toStdString();
    return file;
  }
  TemplateContent Read(const QString& file) {
    TemplateError error;
    std::optional<TemplateContent> content = ReadTemplateFile(file, &error);
    EXPECT_TRUE(content) << error.number << " " << error.description.toStdString();
    return content ? *content : TemplateContent{};
  }
  PictureStore store;
};

TEST_F(TemplateFile, TextsAndPicturesSurviveARoundTrip) {
  app::CustomTextRecord a = TextRecord(QStringLiteral("Urlaub 2026 – Küste, Ελλάδα, 日本"), 0.3125, 1.75);
  a.FontBold = 1;
  a.FontUnder = 1;
  a.FontColor = 0x00FF8040;
  a.FontAlign = 2;
  a.FontAngle = -45;
  a.FontSize = 32767;
  app::CustomTextRecord b = TextRecord(QStringLiteral("Disk 1\r\nBackup"), -0.5, 999.5);
  b.FontItal = 1;
  b.FontName = QStringLiteral("Times New Roman");
  b.FontSize = 1;
  b.FontAlign = 1;
  b.FontAngle = 90;
  b.Width = 1.0e-3;
  app::CustomTextRecord c = TextRecord(QStringLiteral("c"), 0, 0);
  c.FontName.clear();
  for (const auto& r : {a, b, c}) AddText(r);
  const QByteArray png = PictureFile("PNG", Qt::red), bmp = PictureFile("BMP", Qt::blue, 200, 100);
  AddPicture(1.5, 2.25, QStringLiteral("/home/jürgen/Bilder/logo.png"), png);
  AddPicture(-0.25, 0.125, QStringLiteral("/tmp/b.bmp"), bmp);

  const QString file = Save(QStringLiteral("Label.DKT"));
  EXPECT_EQ(FolderEntries(dir.path()).filter(QStringLiteral("Label")), QStringList{QStringLiteral("Label.DKT")});
  const TemplateContent content = Read(file);
  ASSERT_EQ(content.texts.size(), 3);
  EXPECT_TRUE(SameText(content.texts[0], a));
  EXPECT_TRUE(SameText(content.texts[1], b));
  EXPECT_TRUE(SameText(content.texts[2], c));
  ASSERT_EQ(content.pictures.size(), 2);
  EXPECT_EQ(content.pictures[0].bytes, png);
  EXPECT_EQ(content.pictures[0].record.Name, QStringLiteral("/home/jürgen/Bilder/logo.png"));
  EXPECT_EQ(content.pictures[0].record.Left, 1.5);
  EXPECT_EQ(content.pictures[0].record.Top, 2.25);
  EXPECT_EQ(content.pictures[1].bytes, bmp);
  EXPECT_EQ(content.pictures[1].image.size(), QSize(200, 100));

  // Into the designer's arrays: the objects in slots 0 to n - 1, a spare slot, pictures by slot.
  TemplateArrays arrays = ToDesignerArrays(content);
  ASSERT_EQ(arrays.texts.size(), 4);
  EXPECT_TRUE(SameText(arrays.texts[2], c));
  ASSERT_EQ(arrays.pictures.size(), 3);
  EXPECT_EQ(arrays.store.Find(1)->bytes, bmp);
  EXPECT_FALSE(arrays.store.Contains(2));
  // Nothing of one kind: a fresh array, slot 0 free.
  TemplateArrays none = ToDesignerArrays(TemplateContent{});
  EXPECT_TRUE(DesignerObjects::IsFree(none.texts[0]));
  EXPECT_EQ(none.texts.size(), 2);
  EXPECT_TRUE(DesignerObjects::IsFree(none.pictures[0]));
  EXPECT_TRUE(none.store.Empty());
}

TEST_F(TemplateFile, NodesNumberTheLiveObjectsOnly) {
  // Three texts with the middle one deleted, two pictures with the first deleted.
  for (const char* t : {"first", "middle", "last"}) AddText(TextRecord(QString::fromLatin1(t), 1, 1));
  designer.CustomTexts[1].Left = designer.CustomTexts[1].Top = app::kFreeSlot;
  const QByteArray first = PictureFile("PNG", Qt::red), second = PictureFile("PNG", Qt::green);
  AddPicture(0.5, 0.5, QStringLiteral("first.png"), first);
  AddPicture(2.5, 0.5, QStringLiteral("second.png"), second);
  designer.CustomPictures[0].Left = designer.CustomPictures[0].Top = app::kFreeSlot;
  designer.CustomPictures[0].Name.clear();
  store.Remove(0);

  const QString file = Save(QStringLiteral("gaps.DKT"));
  const auto streams = OlefileStreams(file);
  EXPECT_TRUE(streams.count(QStringLiteral("Labels/Text0/__NODE_DATA_")));
  EXPECT_TRUE(streams.count(QStringLiteral("Labels/Text1/__NODE_DATA_")));
  EXPECT_FALSE(streams.count(QStringLiteral("Labels/Text2")));
  EXPECT_TRUE(streams.count(QStringLiteral("Pictures/Picture0/_F_Picture")));
  EXPECT_FALSE(streams.count(QStringLiteral("Pictures/Picture1")));
  const TemplateContent content = Read(file);
  ASSERT_EQ(content.texts.size(), 2);
  EXPECT_EQ(content.texts[0].Text, QStringLiteral("first"));
  EXPECT_EQ(content.texts[1].Text, QStringLiteral("last"));
  ASSERT_EQ(content.pictures.size(), 1);
  EXPECT_EQ(content.pictures[0].bytes, second);
  EXPECT_EQ(content.pictures[0].record.Name, QStringLiteral("second.png"));
  EXPECT_EQ(ToDesignerArrays(content).store.Find(0)->bytes, second);  // keyed "K0"

  // A picture whose file never loaded has nothing to store and is left out.
  AddPicture(4.0, 0.5, QStringLiteral("missing.png"), QByteArray());
  EXPECT_EQ(LiveObjects(designer, store).pictures.size(), 1);

  // Texts only: an empty "Pictures" node.
  designer.CustomPictures = app::Designer{}.CustomPictures;
  store.Clear();
  const QString textsOnly = Save(QStringLiteral("texts.DKT"));
  const auto only = OlefileStreams(textsOnly);
  EXPECT_TRUE(only.count(QStringLiteral("Pictures/__NODE_HEADER_")));
  for (const auto& [path, data] : only)
    EXPECT_FALSE(path.startsWith(QStringLiteral("Pictures/Picture"))) << path.toStdString();
  EXPECT_TRUE(Read(textsOnly).pictures.isEmpty());
}

TEST_F(TemplateFile, TheStreamsByteForByte) {
  app::CustomTextRecord r = TextRecord(QStringLiteral("Ünï"), 0.25, 1.5);
  r.FontBold = 1;
  r.FontColor = 0x123456;
  r.FontAlign = 2;
  r.FontAngle = 270;
  AddText(r);
  const QByteArray picture = PictureFile("PNG", Qt::darkCyan);
  AddPicture(1.0, 2.0, QStringLiteral("logo.png"), picture);
  const auto streams = OlefileStreams(Save(QStringLiteral("bytes.DKT")));

  Bytes defs;
  defs.I16(2).String(QStringLiteral("Picture")).I32(4);
  for (auto [name, type] : {std::pair{"Picture", 11}, {"Name", 8}, {"Left", 6}, {"Top", 6}})
    defs.I16(type).I64(0).String(QString::fromLatin1(name));
  defs.String(QStringLiteral("Text")).I32(13);
  for (auto [name, type] : {std::pair{"Text", 8},
                            {"Left", 6},
                            {"Top", 6},
                            {"Width", 6},
                            {"Height", 6},
                            {"FontName", 8},
                            {"FontSize", 0},
                            {"FontBold", 2},
                            {"FontItal", 2},
                            {"FontUnder", 2},
                            {"FontColor", 3},
                            {"FontAlign", 0},
                            {"FontAngle", 0}})
    defs.I16(type).I64(0).String(QString::fromLatin1(name));
  EXPECT_EQ(streams.at(QStringLiteral("__ITEMDEF0__")), defs.Hex());

  // The parent nodes: a header with an empty item definition, no values.
  for (const char* parent : {"Labels", "Pictures"}) {
    const QString header = streams.at(QString::fromLatin1(parent) + QStringLiteral("/__NODE_HEADER_"));
    Bytes expected;
    expected.I16(0).String(QString());
    EXPECT_TRUE(header.startsWith(expected.Hex())) << parent;
    EXPECT_FALSE(streams.count(QString::fromLatin1(parent) + QStringLiteral("/__NODE_DATA_"))) << parent;
  }

  Bytes data;
  data.Tagged(r.Text).R8(0.25).R8(1.5).R8(2.125).R8(0.375).Tagged(QStringLiteral("Arial")).I16(12);
  data.U8(0xFF).U8(0).U8(0).I32(0x123456).I16(2).I16(270);
  EXPECT_EQ(streams.at(QStringLiteral("Labels/Text0/__NODE_DATA_")), data.Hex());
  EXPECT_TRUE(streams.at(QStringLiteral("Labels/Text0/__NODE_HEADER_"))
                  .startsWith(Bytes().I16(0).String(QStringLiteral("Text")).Hex()));

  // The picture's own stream holds its file's bytes.
  const QString stored = streams.at(QStringLiteral("Pictures/Picture0/_F_Picture"));
  EXPECT_TRUE(stored.endsWith(QString::fromLatin1(picture.toHex())));
  EXPECT_LE(stored.size() - picture.size() * 2, 16);
  Bytes values;
  values.Tagged(QStringLiteral("logo.png")).R8(1.0).R8(2.0);
  EXPECT_EQ(streams.at(QStringLiteral("Pictures/Picture0/__NODE_DATA_")), values.Hex());
}

// A template made through the library directly, text nodes named as given (for files the
// designer never writes).
void WriteTextNodes(const QString& file, const QStringList& names) {
  xcom::ComPtr<IVemraKYP> root;
  ASSERT_EQ(xcom::CreateInstance(CLSID_VemraKYP, &root), S_OK);
  ASSERT_EQ(root->put_DocName(app::ToBstr(file).Get()), S_OK);
  xcom::ComPtr<IOItemDefs> defs;
  root->get_ItemDefs(defs.GetAddressOf());
  xcom::ComPtr<IOItemDef> def;
  ASSERT_EQ(defs->CreateItemDef(xcom::Bstr(u"Text").Get(), def.GetAddressOf()), S_OK);
  xcom::ComPtr<IOFields> fields;
  def->get_Fields(fields.GetAddressOf());
  for (auto [name, type] : {std::pair{u"Text", 8},
                            {u"Left", 6},
                            {u"Top", 6},
                            {u"Width", 6},
                            {u"Height", 6},
                            {u"FontName", 8},
                            {u"FontSize", 0},
                            {u"FontBold", 2},
                            {u"FontItal", 2},
                            {u"FontUnder", 2},
                            {u"FontColor", 3},
                            {u"FontAlign", 0},
                            {u"FontAngle", 0}}) {
    xcom::ComPtr<IOField> f;
    ASSERT_EQ(fields->Add(xcom::Bstr(name).Get(), static_cast<SHORT>(type), 0, f.GetAddressOf()), S_OK);
  }
  ASSERT_EQ(defs->Append(def.Get()), S_OK);
  xcom::ComPtr<IONodes> top;
  root->get_Nodes(top.GetAddressOf());
  for (const char16_t* parent : {u"Labels", u"Pictures"}) {
    xcom::ComPtr<IONode> node;
    ASSERT_EQ(top->CreateNode(xcom::Bstr(parent).Get(), xcom::Bstr(u"").Get(), node.GetAddressOf()), S_OK);
    ASSERT_EQ(top->Append(node.Get()), S_OK);
  }
  xcom::ComPtr<IONode> labels;
  ASSERT_EQ(top->Item(xcom::Variant::String(u"Labels"), labels.GetAddressOf()), S_OK);
  xcom::ComPtr<IONodes> children;
  labels->get_Nodes(children.GetAddressOf());
  for (const QString& name : names) {
    xcom::ComPtr<IONode> node;
    ASSERT_EQ(children->CreateNode(app::ToBstr(name).Get(), xcom::Bstr(u"Text").Get(), node.GetAddressOf()), S_OK);
    xcom::ComPtr<IOFields> values;
    node->get_Fields(values.GetAddressOf());
    const xcom::Variant v[] = {xcom::Variant::String(u"x"), xcom::Variant::R8(1),       xcom::Variant::R8(1),
                               xcom::Variant::R8(1),        xcom::Variant::R8(1),       xcom::Variant::String(u"Arial"),
                               xcom::Variant::I2(10),       xcom::Variant::Bool(false), xcom::Variant::Bool(false),
                               xcom::Variant::Bool(false),  xcom::Variant::I4(0),       xcom::Variant::I2(0),
                               xcom::Variant::I2(0)};
    for (LONG k = 0; k < 13; ++k) {
      xcom::ComPtr<IOField> f;
      values->Item(xcom::Variant::I4(k + 1), f.GetAddressOf());
      f->put_Value(v[k]);
    }
    ASSERT_EQ(children->Append(node.Get()), S_OK);
  }
}

TEST_F(TemplateFile, ABadFileIsRefusedWhole) {
  struct Case {
    const char* name;
    std::function<void(TemplateFile&, const QString& file)> make;
    int number;
    const char* description;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto withText = [](std::function<void(app::CustomTextRecord&)> change) {
    return [change](TemplateFile& t, const QString& file) {
      app::CustomTextRecord good = TextRecord(QStringLiteral("good"), 1, 1);
      app::CustomTextRecord bad = good;
      change(bad);
      t.AddText(good);
      t.AddText(bad);
      TemplateError error;
      ASSERT_TRUE(WriteTemplateFile(file, LiveObjects(t.designer, t.store), &error));
    };
  };
  const Case cases[] = {
      {"no compound file",
       [](TemplateFile&, const QString& file) {
         QFile f(file);
         ASSERT_TRUE(f.open(QIODevice::WriteOnly));
         f.write("Xendora custom template? No: a plain text file.\n");
       },
       -2147286789, "The file is not a custom template file."},
      {"no definitions",
       [](TemplateFile&, const QString& file) {
         // A compound file that is no template: its definition list is gone.
         WriteTextNodes(file, {QStringLiteral("Text0")});
         xcom::ComPtr<IVemraKYP> root;
         ASSERT_EQ(xcom::CreateInstance(CLSID_VemraKYP, &root), S_OK);
         xcom::ComPtr<IOKYPStore> s;
         ASSERT_EQ(root.As(&s), S_OK);
         SHORT already = 0;
         xcom::ComPtr<IStorage> stg;
         ASSERT_EQ(s->OpenDoc(app::ToBstr(file).Get(), &already, stg.GetAddressOf()), S_OK);
         ASSERT_EQ(stg->DestroyElement(u"__ITEMDEF0__"), S_OK);
         stg.Reset();
         s->CloseDoc();
       },
       -2147286789, "The file is not a custom template file."},
      {"a gap in the numbering",
       [](TemplateFile&, const QString& file) {
         WriteTextNodes(file, {QStringLiteral("Text0"), QStringLiteral("Text2")});
       },
       53, "has no \"Labels/Text1\""},
      {"FontAlign 7", withText([](app::CustomTextRecord& r) { r.FontAlign = 7; }), 380,
       "invalid FontAlign in \"Labels/Text1\""},
      {"FontAlign -1", withText([](app::CustomTextRecord& r) { r.FontAlign = -1; }), 380, "invalid FontAlign"},
      {"FontSize 0", withText([](app::CustomTextRecord& r) { r.FontSize = 0; }), 380, "invalid FontSize"},
      {"a NaN Left", withText([nan](app::CustomTextRecord& r) { r.Left = nan; }), 380, "invalid Left"},
      {"an infinite Top", withText([](app::CustomTextRecord& r) { r.Top = -HUGE_VAL; }), 380, "invalid Top"},
      {"a Width beyond 1000 in", withText([](app::CustomTextRecord& r) { r.Width = 1000.5; }), 380, "invalid Width"},
      {"a Height beyond -1000 in", withText([](app::CustomTextRecord& r) { r.Height = -1001; }), 380, "invalid Height"},
      {"picture bytes that are no picture",
       [](TemplateFile& t, const QString& file) {
         t.AddText(TextRecord(QStringLiteral("good"), 1, 1));
         t.AddPicture(1, 1, QStringLiteral("broken.png"), QByteArray("\x89PNG but not really", 20));
         TemplateError error;
         ASSERT_TRUE(WriteTemplateFile(file, LiveObjects(t.designer, t.store), &error));
       },
       481, "picture that cannot be shown in \"Pictures/Picture0\""},
      {"a mistyped name", [](TemplateFile&, const QString&) {}, 53, "File not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    designer = app::Designer{};
    store.Clear();
    const QString file = File(QString::fromLatin1(c.name) + QStringLiteral(".DKT"));
    c.make(*this, file);
    QByteArray before;
    if (QFile f(file); f.open(QIODevice::ReadOnly)) before = f.readAll();
    const QStringList entries = FolderEntries(dir.path());
    TemplateError error;
    EXPECT_FALSE(ReadTemplateFile(file, &error));
    EXPECT_EQ(error.number, c.number);
    EXPECT_TRUE(error.description.contains(QString::fromUtf8(c.description))) << error.description.toStdString();
    // The file is as it was, and nothing was made beside it (a mistyped name creates nothing).
    if (QFile f(file); f.open(QIODevice::ReadOnly)) {
      EXPECT_EQ(f.readAll(), before);
    }
    EXPECT_EQ(FolderEntries(dir.path()), entries);
  }
}

TEST_F(TemplateFile, ASaveThatFailsLeavesTheOldFileWhole) {
  AddText(TextRecord(QStringLiteral("old"), 1, 1));
  const QString file = Save(QStringLiteral("kept.DKT"));
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray old = f.readAll();
  f.close();
  ASSERT_LT(old.size(), 64 * 1024);
  const QStringList entries = FolderEntries(dir.path());

  // A new version with a large picture, under a file size limit it cannot stay within.
  AddText(TextRecord(QStringLiteral("new"), 2, 2));
  QImage noise(600, 600, QImage::Format_RGB32);
  for (int y = 0; y < noise.height(); ++y)
    for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, qRgb((x * 7919 + y * 104729) % 251, x % 256, y % 256));
  QByteArray big;
  QBuffer buffer(&big);
  buffer.open(QIODevice::WriteOnly);
  noise.save(&buffer, "BMP");
  ASSERT_GT(big.size(), 256 * 1024);
  AddPicture(0, 0, QStringLiteral("noise.bmp"), big);
  const TemplateContent content = LiveObjects(designer, store);
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limited = saved;
  limited.rlim_cur = 128 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  TemplateError error;
  const bool written = WriteTemplateFile(file, content, &error);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  EXPECT_NE(error.number, 0);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), old);
  EXPECT_EQ(FolderEntries(dir.path()), entries);
  ASSERT_EQ(Read(file).texts.size(), 1);

  // Unlimited, the same save replaces the file.
  ASSERT_TRUE(WriteTemplateFile(file, content, &error));
  EXPECT_EQ(Read(file).texts.size(), 2);
  EXPECT_EQ(FolderEntries(dir.path()), entries);
}

// A CD label job (no rows) in the window, the program folder in the test's own folder.
struct Templates : TemplateFile {
  Templates() : home(qgetenv("XENDORA_HOME")) { qputenv("XENDORA_HOME", dir.path().toUtf8()); }
  ~Templates() override { qputenv("XENDORA_HOME", home); }
  std::unique_ptr<frmPrint> Open() {
    job.ReportType = 12;
    job.TemplateKind = 3;
    job.TemplateFolder = QStringLiteral("CD");
    auto w = std::make_unique<frmPrint>(Environment());
    drawing().header = -1;
    w->resize(900, 700);
    EXPECT_TRUE(w->Load());
    w->show();
    return w;
  }
  // Two texts and a picture on the window's canvas, as the records and store hold them.
  void Design(frmPrint& w) {
    app::CustomTextRecord a = TextRecord(QStringLiteral("Ferien 2026"), 0.5, 0.75);
    a.FontBold = 1;
    app::CustomTextRecord b = TextRecord(QStringLiteral("Disk № 7"), 1.25, 2.5);
    b.FontAlign = 2;
    designer.CustomTexts = {a, b, app::CustomTextRecord{}};
    designer.CustomPictures = {app::CustomPictureRecord{2.0, 1.0, QStringLiteral("logo.png")}, {}};
    w.Session().Pictures().Put(0, QImage::fromData(logo), logo);
    w.Objects().Loaded();
  }
  QString Folder() const { return dir.path() + QStringLiteral("/Templates/CD"); }
  QByteArray home;
  const QByteArray logo = PictureFile("PNG", Qt::magenta, 48, 24);
};

TEST_F(Templates, SavedThroughTheMenuAndLoadedBackAt100Percent) {
  auto w = Open();
  Design(*w);
  Script script;
  const QString file = Folder() + QStringLiteral("/Ferien");
  script.forms.ExpectSave(file, QStringLiteral("Save Custom Template"));
  ASSERT_TRUE(w->Action(QStringLiteral("mnuFileSave"))->isEnabled());
  w->Action(QStringLiteral("mnuFileSave"))->trigger();
  const forms::ShownModal& save = script.forms.Shown().back();
  EXPECT_EQ(save.initDir, dir.path() + QStringLiteral("/Templates/CD"));
  EXPECT_EQ(save.flags, 32774);
  EXPECT_EQ(save.fileName, QStringLiteral("*.DKT"));
  EXPECT_EQ(save.filter, QStringLiteral("Custom Templates (*.DKT)|*.DKT"));
  ASSERT_TRUE(QFileInfo::exists(file + QStringLiteral(".DKT")));  // the default extension

  // Another design at 200 %, then the template: its objects in place of them, at 100 %.
  w->SetZoomFactor(QStringLiteral("200PC"), true);
  designer.CustomTexts = {TextRecord(QStringLiteral("other"), 3, 3), TextRecord(QStringLiteral("more"), 1, 1), {}};
  designer.CustomPictures = app::Designer{}.CustomPictures;
  w->Session().Pictures().Clear();
  w->Objects().Loaded();
  // ...held as a multiple selection, which the load ends.
  w->Objects().SelectMultipleObjects(0, 0, 100, 100);
  ASSERT_TRUE(w->Objects().MultipleSelection());
  // A lower-case extension is a template too.
  ASSERT_TRUE(QFile::rename(file + QStringLiteral(".DKT"), file + QStringLiteral(".dkt")));
  script.forms.ExpectOpen(file + QStringLiteral(".dkt"), QStringLiteral("Load Custom Template"));
  w->Action(QStringLiteral("mnuFileLoad"))->trigger();
  EXPECT_EQ(script.forms.Shown().back().initDir, dir.path() + QStringLiteral("/Templates/CD"));
  ASSERT_EQ(designer.CustomTexts.size(), 3);
  EXPECT_EQ(designer.CustomTexts[0].Text, QStringLiteral("Ferien 2026"));
  EXPECT_EQ(designer.CustomTexts[1].Text, QStringLiteral("Disk № 7"));
  EXPECT_EQ(designer.CustomTexts[1].FontAlign, 2);
  ASSERT_EQ(designer.CustomPictures.size(), 2);
  EXPECT_EQ(designer.CustomPictures[0].Left, 2.0);
  EXPECT_EQ(w->Session().Pictures().Find(0)->bytes, logo);
  EXPECT_EQ(w->Session().ZoomPercent(), 100);
  EXPECT_EQ(w->Action(QStringLiteral("Zoom"))->text(), QStringLiteral("Zoom: 100%"));
  EXPECT_TRUE(w->Action(QStringLiteral("mnuFileSave"))->isEnabled());
  EXPECT_EQ(w->Objects().TextObjectCount(), 2);
  EXPECT_EQ(w->Objects().PictureObjectCount(), 1);
  EXPECT_FALSE(w->Objects().MultipleSelection());
  EXPECT_FALSE(w->Action(QStringLiteral("mnuEditDupPage"))->isEnabled());
  ASSERT_TRUE(w->Items().TextItem(1));
  EXPECT_TRUE(w->Items().TextItem(1)->isVisible());
  EXPECT_TRUE(w->Items().TextItem(1)->isEnabled());
  ASSERT_TRUE(w->Items().PictureItem(0));
  EXPECT_TRUE(w->Items().PictureItem(0)->isVisible());
  const double dpi = w->Session().Canvas().DpiX();
  EXPECT_NEAR(w->Items().TextItem(1)->x(), 1.25 * dpi, 1.0);
  EXPECT_TRUE(script.forms.Done());
  designer.CustomTexts = app::Designer{}.CustomTexts;  // closes without the question
  designer.CustomPictures = app::Designer{}.CustomPictures;
  w->close();
}

TEST_F(Templates, CancelOrARefusedFileKeepsTheDesign) {
  auto w = Open();
  Design(*w);
  const QList<app::CustomTextRecord> texts = designer.CustomTexts;
  const QString notTemplate = File(QStringLiteral("notes.DKT"));
  QFile f(notTemplate);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("just text");
  f.close();
  Script script;
  script.forms.ExpectOpen(std::nullopt, QStringLiteral("Load Custom Template"));
  w->LoadCustomTemplate();
  script.forms.ExpectOpen(notTemplate).ExpectMessage(forms::vbOK, QStringLiteral("ERROR #: "));
  w->LoadCustomTemplate();
  const forms::ShownModal& box = script.forms.Shown().back();
  EXPECT_EQ(box.text,
            QStringLiteral("Automation error\r\nThe file is not a custom template file.\rERROR #: -2147286789"));
  EXPECT_EQ(box.buttons, forms::vbCritical);
  const QString mistyped = File(QStringLiteral("Ferein.DKT"));
  script.forms.ExpectOpen(mistyped).ExpectMessage(forms::vbOK, QStringLiteral("File not found\rERROR #: 53"));
  w->LoadCustomTemplate();
  EXPECT_FALSE(QFileInfo::exists(mistyped));
  ASSERT_EQ(designer.CustomTexts.size(), texts.size());
  for (qsizetype i = 0; i < texts.size(); ++i) EXPECT_TRUE(SameText(designer.CustomTexts[i], texts[i])) << i;
  EXPECT_EQ(w->Session().Pictures().Find(0)->bytes, logo);
  EXPECT_EQ(w->Objects().TextObjectCount(), 2);
  EXPECT_TRUE(script.forms.Done());
  script.forms.ExpectMessage(forms::vbNo, QStringLiteral("Custom Template"));
  w->close();
}

TEST_F(Templates, CloseCancelledThenOneObjectMovedAndSaved) {
  auto w = Open();
  Design(*w);
  designer.CustomTexts.insert(2, TextRecord(QStringLiteral("third"), 3.0, 3.5));
  w->Objects().DeleteCurLabel(0);  // an early slot free: later ones must not be lost
  w->Objects().Loaded();
  const QList<app::CustomTextRecord> before = designer.CustomTexts;
  Script script;
  // A Yes whose save is cancelled keeps the window, and so does Cancel at the question.
  script.forms.ExpectMessage(forms::vbYes, QStringLiteral("Custom Template")).ExpectSave(std::nullopt);
  EXPECT_FALSE(w->close());
  script.forms.ExpectMessage(forms::vbCancel, QStringLiteral("Custom Template"));
  EXPECT_FALSE(w->close());
  // The text in slot 1 moved by (0.5, 0.25) in: pressed at its corner, dropped onto itself.
  const double z = designer.ZoomFactor;
  w->Objects().Press(ObjectKind::Text, 1, 0, 0);
  w->Objects().DropOn(ObjectKind::Text, 1, 0.5 * z, 0.25 * z);
  const QString file = File(QStringLiteral("moved.DKT"));
  script.forms.ExpectSave(file);
  w->Action(QStringLiteral("mnuFileSave"))->trigger();
  const TemplateContent saved = Read(file);
  ASSERT_EQ(saved.texts.size(), 2);
  app::CustomTextRecord moved = before[1];
  moved.Left += 0.5;
  moved.Top += 0.25;
  EXPECT_NEAR(saved.texts[0].Left, moved.Left, 1e-9);
  EXPECT_NEAR(saved.texts[0].Top, moved.Top, 1e-9);
  moved.Left = saved.texts[0].Left;
  moved.Top = saved.texts[0].Top;
  EXPECT_TRUE(SameText(saved.texts[0], moved));
  EXPECT_TRUE(SameText(saved.texts[1], before[2]));
  ASSERT_EQ(saved.pictures.size(), 1);
  EXPECT_EQ(saved.pictures[0].record.Left, 2.0);
  EXPECT_EQ(saved.pictures[0].bytes, logo);
  // Yes with a save that succeeds closes the window.
  const QString closing = File(QStringLiteral("closing.DKT"));
  script.forms.ExpectMessage(forms::vbYes, QStringLiteral("Custom Template")).ExpectSave(closing);
  EXPECT_TRUE(w->close());
  EXPECT_EQ(Read(closing).texts.size(), 2);
  EXPECT_TRUE(script.forms.Done());
}

// The words of a PDF with their boxes, in points from the paper's top left corner.
struct PdfWord {
  QString text;
  double xMin, yMin;
};
std::vector<PdfWord> PdfWords(const QString& file) {
  QProcess p;
  p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
  p.waitForFinished(60000);
  std::vector<PdfWord> words;
  const QRegularExpression word(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>([^<]*)</word>"));
  auto it = word.globalMatch(QString::fromUtf8(p.readAllStandardOutput()));
  while (it.hasNext()) {
    const QRegularExpressionMatch m = it.next();
    words.push_back({m.captured(3), m.captured(1).toDouble(), m.captured(2).toDouble()});
  }
  return words;
}

// A saved template loaded into a label job and printed to a PDF through the window: each text
// lies at its record's place on the paper, whatever the printer cannot print at its edges.
TEST_F(Templates, AReloadedLabelPrintsWhereItsRecordsSay) {
  app::CustomTextRecord a = TextRecord(QStringLiteral("Alpha"), 0.5, 0.75);
  app::CustomTextRecord b = TextRecord(QStringLiteral("Bravo"), 1.625, 1.875);
  b.FontBold = 1;
  b.FontSize = 18;
  app::CustomTextRecord ch = TextRecord(QStringLiteral("Charlie"), 0.3125, 2.0);
  ch.FontName = QStringLiteral("Times New Roman");
  ch.FontSize = 9;
  for (const auto& r : {a, b, ch}) AddText(r);
  const QString saved = Save(QStringLiteral("label.DKT"));
  struct Case {
    SHORT reportType, labelMedium;
    double margin;  // the printer's unprintable edge, inches
  };
  pageSetup.LeftMargin = 0.45;
  pageSetup.TopMargin = 0.6;
  for (const Case c : {Case{12, 0, 0.0}, Case{12, 0, 0.25}, Case{7, 1, 0.0}, Case{7, 1, 0.25}}) {
    SCOPED_TRACE(testing::Message() << "type " << c.reportType << ", margin " << c.margin);
    auto pdf = std::make_unique<surface::PrinterSurface>(surface::kPdfPrinterName);
    const QString out = File(QStringLiteral("label-%1-%2.pdf").arg(c.reportType).arg(c.margin));
    pdf->SetOutputFileName(out);
    pdf->SetPrintableMargins(QMarginsF(c.margin, c.margin, c.margin, c.margin));
    surface::SetPrinter(std::move(pdf));
    printer = nullptr;
    withReports = true;
    designer = app::Designer{};
    job.ReportType = c.reportType;
    job.LabelMedium = c.labelMedium;
    job.TemplateFolder = c.labelMedium == 1 ? QStringLiteral("Floppy") : QStringLiteral("CD");
    frmPrint w(Environment());
    ASSERT_TRUE(w.Load());
    Script script;
    script.forms.ExpectOpen(saved);
    w.LoadCustomTemplate();
    ASSERT_EQ(w.Objects().TextObjectCount(), 3);
    w.DoPrint(0, 0);
    surface::SetPrinter(nullptr);  // sends the document
    // The printer's offsets cancel out; a floppy label moves by its margins - 0.2 in.
    const double dx = c.labelMedium == 1 ? pageSetup.LeftMargin - 0.2 : 0.0;
    const double dy = c.labelMedium == 1 ? pageSetup.TopMargin - 0.2 : 0.0;
    const std::vector<PdfWord> words = PdfWords(out);
    for (const app::CustomTextRecord& r : {a, b, ch}) {
      const auto found = std::find_if(words.begin(), words.end(), [&](const PdfWord& w) { return w.text == r.Text; });
      ASSERT_NE(found, words.end()) << r.Text.toStdString();
      EXPECT_NEAR(found->xMin / 72, r.Left + dx, 0.01) << r.Text.toStdString();
      EXPECT_NEAR(found->yMin / 72, r.Top + dy, 0.01) << r.Text.toStdString();
    }
    EXPECT_TRUE(script.forms.Done());
    designer = app::Designer{};
    w.close();
  }
}

}  // namespace
}  // namespace designer
