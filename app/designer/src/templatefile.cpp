// Custom template files: the designer's objects in a template document of the template store
// library (created by class identifier, never linked), and the Save and Load commands.
#include "templatefile.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <span>
#include <system_error>

#include "cfb.h"
#include "forms.h"
#include "iteminfovariant.h"
#include "kyp.h"
#include "programfolder.h"
#include "vbrt.h"
#include "xcom/xcom.h"

namespace designer {

namespace {

namespace fs = std::filesystem;
using vbrt::RuntimeError;
using xcom::Bstr;
using xcom::ComPtr;
using xcom::Variant;

constexpr LONG kSaveFlags = 32774;  // prompt before overwriting, hide read-only, no read-only return
const char16_t kDefinitions[] = u"__ITEMDEF0__";
// The dialogs list "*.DKT" files in either letter case (the file dialog matches ignoring case).
const char kFilter[] = "Custom Templates (*.DKT)|*.DKT";

struct FieldSpec {
  const char16_t* name;
  SHORT type;
};
// The item definitions in the order they are written, each field with size 0.
constexpr FieldSpec kPictureFields[] = {
    {u"Picture", kypPicture}, {u"Name", kypVariant}, {u"Left", kypDouble}, {u"Top", kypDouble}};
constexpr FieldSpec kTextFields[] = {{u"Text", kypVariant},      {u"Left", kypDouble},      {u"Top", kypDouble},
                                     {u"Width", kypDouble},      {u"Height", kypDouble},    {u"FontName", kypVariant},
                                     {u"FontSize", kypInteger},  {u"FontBold", kypBoolean}, {u"FontItal", kypBoolean},
                                     {u"FontUnder", kypBoolean}, {u"FontColor", kypLong},   {u"FontAlign", kypInteger},
                                     {u"FontAngle", kypInteger}};
enum TextField {
  kText = 1,
  kLeft,
  kTop,
  kWidth,
  kHeight,
  kFontName,
  kFontSize,
  kFontBold,
  kFontItal,
  kFontUnder,
  kFontColor,
  kFontAlign,
  kFontAngle
};
enum PictureField { kPicture = 1, kName, kPictureLeft, kPictureTop };

QString Text16(const char16_t* text) { return QString::fromUtf16(text); }

// A failed status from the template store as the runtime reports it. The runtime words the
// file statuses for catalogs; a template names itself.
RuntimeError StatusError(HRESULT hr) {
  const int number = vbrt::ErrorNumberFromHResult(hr);
  if (hr == STG_E_INVALIDHEADER || hr == STG_E_OLDFORMAT)
    return RuntimeError(number, u"Automation error\r\nThe file is not a custom template file.");
  if (hr == STG_E_DOCFILECORRUPT)
    return RuntimeError(number, u"Automation error\r\nThe custom template file is damaged.");
  return RuntimeError::FromHResult(hr);
}

void Check(HRESULT hr) {
  if (FAILED(hr)) throw StatusError(hr);
}

ComPtr<IVemraKYP> NewDocument() {
  ComPtr<IVemraKYP> root;
  Check(xcom::CreateInstance(CLSID_VemraKYP, &root));
  return root;
}

// ---- Writing

Variant ByteArray(const QByteArray& bytes) {
  SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  if (!sa) throw RuntimeError(vbrt::ErrOutOfMemory);
  if (!bytes.isEmpty()) std::memcpy(sa->pvData, bytes.constData(), static_cast<size_t>(bytes.size()));
  return Variant::Adopt(VT_ARRAY | VT_UI1, sa);
}

Variant Str(const QString& text) { return Variant::String(text.toStdU16String()); }

void Define(IOItemDefs* defs, const char16_t* name, std::span<const FieldSpec> fields) {
  ComPtr<IOItemDef> def;
  Check(defs->CreateItemDef(Bstr(name).Get(), def.GetAddressOf()));
  ComPtr<IOFields> list;
  Check(def->get_Fields(list.GetAddressOf()));
  for (const FieldSpec& f : fields) {
    ComPtr<IOField> field;
    Check(list->Add(Bstr(f.name).Get(), f.type, 0, field.GetAddressOf()));
  }
  Check(defs->Append(def.Get()));
}

ComPtr<IONode> NewNode(IONodes* nodes, const QString& name, const char16_t* itemDef) {
  ComPtr<IONode> node;
  Check(nodes->CreateNode(app::ToBstr(name).Get(), Bstr(itemDef).Get(), node.GetAddressOf()));
  return node;
}

ComPtr<IONodes> ChildrenOf(IONode* node) {
  ComPtr<IONodes> nodes;
  Check(node->get_Nodes(nodes.GetAddressOf()));
  return nodes;
}

// Sets a new node's values (fields 1, 2 ...) and writes it under its parent. The nodes of one
// item definition share their fields, so each is filled and written before the next.
void WriteNode(IONodes* parent, IONode* node, std::span<const Variant> values) {
  ComPtr<IOFields> fields;
  Check(node->get_Fields(fields.GetAddressOf()));
  for (size_t k = 0; k < values.size(); ++k) {
    ComPtr<IOField> field;
    Check(fields->Item(Variant::I4(static_cast<LONG>(k + 1)), field.GetAddressOf()));
    Check(field->put_Value(values[k]));
  }
  Check(parent->Append(node));
}

void WriteContent(IVemraKYP* root, const TemplateContent& content) {
  ComPtr<IOItemDefs> defs;
  Check(root->get_ItemDefs(defs.GetAddressOf()));
  Define(defs.Get(), u"Picture", kPictureFields);
  Define(defs.Get(), u"Text", kTextFields);

  ComPtr<IONodes> top;
  Check(root->get_Nodes(top.GetAddressOf()));
  ComPtr<IONode> labels = NewNode(top.Get(), QStringLiteral("Labels"), u"");
  Check(top->Append(labels.Get()));
  // The file stays open for the rest of the save, so that it is written once, at the end.
  Check(labels->Edit());
  ComPtr<IONodes> texts = ChildrenOf(labels.Get());
  for (qsizetype k = 0; k < content.texts.size(); ++k) {
    const app::CustomTextRecord& r = content.texts[k];
    const Variant values[] = {Str(r.Text),
                              Variant::R8(r.Left),
                              Variant::R8(r.Top),
                              Variant::R8(r.Width),
                              Variant::R8(r.Height),
                              Str(r.FontName),
                              Variant::I2(r.FontSize),
                              Variant::Bool(r.FontBold != 0),
                              Variant::Bool(r.FontItal != 0),
                              Variant::Bool(r.FontUnder != 0),
                              Variant::I4(r.FontColor),
                              Variant::I2(r.FontAlign),
                              Variant::I2(r.FontAngle)};
    ComPtr<IONode> node = NewNode(texts.Get(), QStringLiteral("Text") + QString::number(k), u"Text");
    WriteNode(texts.Get(), node.Get(), values);
  }
  ComPtr<IONode> pictures = NewNode(top.Get(), QStringLiteral("Pictures"), u"");
  Check(top->Append(pictures.Get()));
  ComPtr<IONodes> pictureNodes = ChildrenOf(pictures.Get());
  for (qsizetype k = 0; k < content.pictures.size(); ++k) {
    const TemplatePicture& p = content.pictures[k];
    const Variant values[] = {ByteArray(p.bytes), Str(p.record.Name), Variant::R8(p.record.Left),
                              Variant::R8(p.record.Top)};
    ComPtr<IONode> node = NewNode(pictureNodes.Get(), QStringLiteral("Picture") + QString::number(k), u"Picture");
    WriteNode(pictureNodes.Get(), node.Get(), values);
  }
  Check(labels->Update());
}

// ---- Reading

RuntimeError Invalid(const QString& path, const char16_t* field) {
  return RuntimeError(
      vbrt::ErrInvalidPropertyValue,
      (QStringLiteral("The custom template file holds an invalid %1 in \"%2\".").arg(Text16(field), path))
          .toStdU16String());
}

ComPtr<IONode> LoadNode(IONodes* top, const QString& path) {
  ComPtr<IONode> node;
  const HRESULT hr = top->Item(Str(path), node.GetAddressOf());
  if (hr == STG_E_FILENOTFOUND)
    throw RuntimeError(vbrt::ErrorNumberFromHResult(hr),
                       (QStringLiteral("The custom template file has no \"%1\".").arg(path)).toStdU16String());
  Check(hr);
  return node;
}

// A loaded node's values, read at once: the next node loaded overwrites them.
std::vector<Variant> ValuesOf(IONode* node, int count) {
  ComPtr<IOFields> fields;
  Check(node->get_Fields(fields.GetAddressOf()));
  std::vector<Variant> values(static_cast<size_t>(count));
  for (int k = 0; k < count; ++k) {
    ComPtr<IOField> field;
    Check(fields->Item(Variant::I4(k + 1), field.GetAddressOf()));
    Check(field->get_Value(&values[static_cast<size_t>(k)]));
  }
  return values;
}

// One value in the form its record takes; an invalid one refuses the file.
class NodeValues {
 public:
  NodeValues(std::vector<Variant> values, QString path, std::span<const FieldSpec> fields)
      : values_(std::move(values)), path_(std::move(path)), fields_(fields) {}

  QString Text(int k) const {
    const Variant& v = values_[static_cast<size_t>(k - 1)];
    if (v.vt == VT_BSTR) return app::FromBstr(v.bstrVal);
    return app::FromBstr(Converted(k, VT_BSTR).bstrVal);
  }
  double Measure(int k) const {
    const double d = Converted(k, VT_R8).dblVal;
    if (!std::isfinite(d) || std::abs(d) > kTemplateMeasureLimit) throw Invalid(path_, fields_[k - 1].name);
    return d;
  }
  SHORT Integer(int k, int low = -32768, int high = 32767) const {
    const SHORT i = Converted(k, VT_I2).iVal;
    if (i < low || i > high) throw Invalid(path_, fields_[k - 1].name);
    return i;
  }
  SHORT Flag(int k) const { return Converted(k, VT_BOOL).boolVal != 0 ? 1 : 0; }
  LONG Long(int k) const { return Converted(k, VT_I4).lVal; }
  QByteArray Bytes(int k) const {
    const Variant& v = values_[static_cast<size_t>(k - 1)];
    if (v.vt != (VT_ARRAY | VT_UI1) || !v.parray || SafeArrayGetDim(v.parray) != 1) throw PictureError();
    const ULONG n = v.parray->rgsabound[0].cElements;
    return QByteArray(static_cast<const char*>(v.parray->pvData), static_cast<qsizetype>(n));
  }
  RuntimeError PictureError() const {
    return RuntimeError(
        vbrt::ErrInvalidPicture,
        (QStringLiteral("The custom template file holds a picture that cannot be shown in \"%1\".").arg(path_))
            .toStdU16String());
  }

 private:
  Variant Converted(int k, VARTYPE vt) const {
    Variant out;
    if (FAILED(VariantChangeType(&out, &values_[static_cast<size_t>(k - 1)], 0, vt)))
      throw Invalid(path_, fields_[k - 1].name);
    return out;
  }

  std::vector<Variant> values_;
  QString path_;
  std::span<const FieldSpec> fields_;
};

LONG ChildCount(IONodes* top, const QString& path) {
  ComPtr<IONode> node = LoadNode(top, path);
  ComPtr<IONodes> children = ChildrenOf(node.Get());
  LONG n = 0;
  Check(children->get_Count(&n));
  return n;
}

TemplateContent ReadContent(IVemraKYP* root) {
  ComPtr<IONodes> top;
  Check(root->get_Nodes(top.GetAddressOf()));
  TemplateContent content;
  const LONG texts = ChildCount(top.Get(), QStringLiteral("Labels"));
  for (LONG i = 0; i < texts; ++i) {
    const QString path = QStringLiteral("Labels/Text") + QString::number(i);
    ComPtr<IONode> node = LoadNode(top.Get(), path);
    const NodeValues v(ValuesOf(node.Get(), static_cast<int>(std::size(kTextFields))), path, kTextFields);
    app::CustomTextRecord r;
    r.Text = v.Text(kText);
    r.Left = v.Measure(kLeft);
    r.Top = v.Measure(kTop);
    r.Width = v.Measure(kWidth);
    r.Height = v.Measure(kHeight);
    r.FontName = v.Text(kFontName);
    r.FontSize = v.Integer(kFontSize, 1);
    r.FontBold = v.Flag(kFontBold);
    r.FontItal = v.Flag(kFontItal);
    r.FontUnder = v.Flag(kFontUnder);
    r.FontColor = v.Long(kFontColor);
    r.FontAlign = v.Integer(kFontAlign, 0, kTemplateAlignMax);
    r.FontAngle = v.Integer(kFontAngle);
    content.texts.append(std::move(r));
  }
  const LONG pictures = ChildCount(top.Get(), QStringLiteral("Pictures"));
  for (LONG i = 0; i < pictures; ++i) {
    const QString path = QStringLiteral("Pictures/Picture") + QString::number(i);
    ComPtr<IONode> node = LoadNode(top.Get(), path);
    const NodeValues v(ValuesOf(node.Get(), static_cast<int>(std::size(kPictureFields))), path, kPictureFields);
    TemplatePicture p;
    p.bytes = v.Bytes(kPicture);
    p.image = QImage::fromData(p.bytes);
    if (p.image.isNull()) throw v.PictureError();
    p.record.Name = v.Text(kName);
    p.record.Left = v.Measure(kPictureLeft);
    p.record.Top = v.Measure(kPictureTop);
    content.pictures.append(std::move(p));
  }
  return content;
}

// Refuses a file that exists but holds no template (a catalog chosen by mistake, any other
// compound file) before the document is given its name, which would write the empty
// definition list into it.
void CheckIsTemplate(IVemraKYP* root, const Bstr& name) {
  ComPtr<IOKYPStore> store;
  Check(ComPtr<IVemraKYP>(root).As(&store));
  SHORT already = 0;
  ComPtr<IStorage> file;
  HRESULT hr = store->OpenDoc(name.Get(), &already, file.GetAddressOf());
  // The storage layer answers "already exists" for a file that is there but no compound file.
  if (hr == STG_E_FILEALREADYEXISTS) hr = STG_E_INVALIDHEADER;
  Check(hr);
  ComPtr<IStream> definitions;
  hr = file->OpenStream(kDefinitions, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, definitions.GetAddressOf());
  definitions.Reset();
  file.Reset();
  store->CloseDoc();
  if (hr == STG_E_FILENOTFOUND) throw StatusError(STG_E_INVALIDHEADER);
  Check(hr);
}

fs::path PathOf(const QString& path) { return fs::path(path.toStdString()); }

void ShowError(const TemplateError& error) {
  forms::MsgBox(error.description + QChar(u'\r') + QStringLiteral("ERROR #: ") + QString::number(error.number),
                forms::vbOKOnly + forms::vbCritical);
}

TemplateError ErrorOf(const RuntimeError& e) { return {e.number(), QString::fromStdU16String(e.description())}; }

}  // namespace

TemplateContent LiveObjects(const app::Designer& designer, const PictureStore& pictures) {
  TemplateContent content;
  // Every slot below the spare one: the counts follow the live objects, not the slots.
  for (qsizetype i = 0; i + 1 < designer.CustomTexts.size(); ++i) {
    const app::CustomTextRecord& r = designer.CustomTexts[i];
    if (r.Left == app::kFreeSlot && r.Top == app::kFreeSlot) continue;
    content.texts.append(r);
  }
  for (qsizetype i = 0; i + 1 < designer.CustomPictures.size(); ++i) {
    const app::CustomPictureRecord& r = designer.CustomPictures[i];
    if ((r.Left == app::kFreeSlot && r.Top == app::kFreeSlot) || r.Name.isEmpty()) continue;
    // A picture whose file never loaded shows nothing and could not be read back.
    const PictureStore::Entry* e = pictures.Find(static_cast<int>(i));
    if (!e || e->bytes.isEmpty()) continue;
    content.pictures.append(TemplatePicture{r, e->bytes, QImage()});
  }
  return content;
}

bool WriteTemplateFile(const QString& path, const TemplateContent& content, TemplateError* error) {
  const fs::path target = PathOf(path);
  fs::path partial = target;
  partial += ".partial";
  std::error_code ignored;
  fs::remove(partial, ignored);  // one left by a save that was killed
  try {
    {
      ComPtr<IVemraKYP> root = NewDocument();
      Check(root->put_DocName(app::ToBstr(QString::fromStdString(partial.string())).Get()));
      WriteContent(root.Get(), content);
    }
    std::error_code ec;
    fs::rename(partial, target, ec);
    if (ec) throw RuntimeError(vbrt::ErrPathFileAccess);
    return true;
  } catch (const RuntimeError& e) {
    fs::remove(partial, ignored);
    if (error) *error = ErrorOf(e);
    return false;
  }
}

std::optional<TemplateContent> ReadTemplateFile(const QString& path, TemplateError* error) {
  try {
    // Only a file that is there: the document would create a missing one.
    if (!QFileInfo(path).isFile()) throw RuntimeError(vbrt::ErrFileNotFound);
    ComPtr<IVemraKYP> root = NewDocument();
    const Bstr name = app::ToBstr(path);
    CheckIsTemplate(root.Get(), name);
    Check(root->put_DocName(name.Get()));
    return ReadContent(root.Get());
  } catch (const RuntimeError& e) {
    if (error) *error = ErrorOf(e);
    return std::nullopt;
  }
}

TemplateArrays ToDesignerArrays(TemplateContent content) {
  TemplateArrays arrays;
  const app::Designer fresh;
  if (content.texts.isEmpty()) {
    arrays.texts = fresh.CustomTexts;
  } else {
    arrays.texts = std::move(content.texts);
    arrays.texts.append(app::CustomTextRecord{});
  }
  if (content.pictures.isEmpty()) {
    arrays.pictures = fresh.CustomPictures;
  } else {
    for (qsizetype i = 0; i < content.pictures.size(); ++i) {
      TemplatePicture& p = content.pictures[i];
      arrays.pictures.append(p.record);
      arrays.store.Put(static_cast<int>(i), std::move(p.image), std::move(p.bytes));
    }
    arrays.pictures.append(app::CustomPictureRecord{});
  }
  return arrays;
}

QString TemplateDialogFolder(const QString& templateFolder) {
  return QString::fromStdString(platform::ProgramFolder().string()) + QStringLiteral("/Templates/") + templateFolder;
}

bool SaveTemplateThroughDialog(QWidget* owner, const QString& templateFolder, const app::Designer& designer,
                               const PictureStore& pictures) {
  const TemplateContent content = LiveObjects(designer, pictures);
  if (content.texts.isEmpty() && content.pictures.isEmpty()) return false;
  forms::CommonDialog dialog;
  dialog.DialogTitle = QStringLiteral("Save Custom Template");
  dialog.InitDir = TemplateDialogFolder(templateFolder);
  QDir().mkpath(dialog.InitDir);  // the dialog opens where the label kind's templates belong
  dialog.FileName = QStringLiteral("*.DKT");
  dialog.Filter = QString::fromLatin1(kFilter);
  dialog.DefaultExt = QStringLiteral("DKT");
  dialog.Flags = kSaveFlags;
  dialog.CancelError = true;
  dialog.Owner = owner;
  try {
    dialog.ShowSave();
  } catch (const RuntimeError& e) {
    if (e.number() != vbrt::ErrCancelSelected) ShowError(ErrorOf(e));
    return false;
  }
  if (dialog.FileName.isEmpty()) return false;
  TemplateError error;
  if (WriteTemplateFile(dialog.FileName, content, &error)) return true;
  ShowError(error);
  return false;
}

std::optional<TemplateContent> LoadTemplateThroughDialog(QWidget* owner, const QString& templateFolder) {
  forms::CommonDialog dialog;
  dialog.DialogTitle = QStringLiteral("Load Custom Template");
  dialog.InitDir = TemplateDialogFolder(templateFolder);
  dialog.FileName = QStringLiteral("*.DKT");
  dialog.Filter = QString::fromLatin1(kFilter);
  dialog.DefaultExt = QStringLiteral("DKT");
  dialog.CancelError = true;
  dialog.Owner = owner;
  try {
    dialog.ShowOpen();
  } catch (const RuntimeError& e) {
    if (e.number() != vbrt::ErrCancelSelected) ShowError(ErrorOf(e));
    return std::nullopt;
  }
  if (dialog.FileName.isEmpty()) return std::nullopt;
  TemplateError error;
  std::optional<TemplateContent> content = ReadTemplateFile(dialog.FileName, &error);
  if (!content) ShowError(error);
  return content;
}

}  // namespace designer
