// The document model's rules: refused calls and their status codes, shared field sets, the
// store's folder stack and path walks, counting stored children, holding the file open.
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "test_support.h"

namespace kyptest {
namespace {

namespace fs = std::filesystem;

// A document with one definition "Text" (a string and a double) and the node "Labels/Text0".
class Document : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = dir_.file("doc.dkt");
    root_ = OpenDocument(file_);
    ASSERT_TRUE(root_);
    DefineItem(root_.Get(), u"Text", {{u"Text", 8}, {u"Left", 6}});
    top_ = TopNodes(root_.Get());
    ComPtr<IONode> labels = CreateNode(top_.Get(), u"Labels", u"");
    ASSERT_EQ(top_->Append(labels.Get()), S_OK);
    ComPtr<IONodes> children = Children(labels.Get());
    ComPtr<IONode> text = CreateNode(children.Get(), u"Text0", u"Text");
    ASSERT_EQ(SetValue(text.Get(), 1, Str(u"zero")), S_OK);
    ASSERT_EQ(SetValue(text.Get(), 2, Variant::R8(1.0)), S_OK);
    ASSERT_EQ(children->Append(text.Get()), S_OK);
  }

  ComPtr<IOKYPStore> Store() {
    ComPtr<IOKYPStore> store;
    EXPECT_EQ(root_.As(&store), S_OK);
    return store;
  }

  ComPtr<IOFields> FieldsOf(const std::u16string& def) {
    ComPtr<IOKYPInternal> internal;
    EXPECT_EQ(root_.As(&internal), S_OK);
    ComPtr<IOFields> fields;
    EXPECT_EQ(internal->GetFields(Bstr(def).Get(), fields.GetAddressOf()), S_OK);
    return fields;
  }

  TempDir dir_;
  Bstr file_;
  ComPtr<IVemraKYP> root_;
  ComPtr<IONodes> top_;
};

std::u16string StorageName(IStorage* stg) {
  STATSTG st{};
  EXPECT_EQ(stg->Stat(&st, STATFLAG_DEFAULT), S_OK);
  std::u16string name = st.pwcsName ? std::u16string(st.pwcsName) : std::u16string();
  CoTaskMemFree(st.pwcsName);
  return name;
}

TEST_F(Document, RefusedCallsAnswerTheirStatus) {
  ComPtr<IOItemDefs> defs;
  root_->get_ItemDefs(defs.GetAddressOf());
  ComPtr<IOFields> valueRole = FieldsOf(u"Text");
  ComPtr<IVemraKYP> unconnected = NewRoot();
  ComPtr<IONodes> looseNodes = TopNodes(unconnected.Get());
  ComPtr<IOItemDefs> looseDefs;
  unconnected->get_ItemDefs(looseDefs.GetAddressOf());
  ComPtr<IONode> looseNode;
  ASSERT_EQ(xcom::CreateInstance(CLSID_ONode, &looseNode), S_OK);
  ComPtr<IOItemDef> def;
  ComPtr<IOField> field;
  ComPtr<IONode> node;
  ComPtr<IOFields> fields;
  ComPtr<IOKYPInternal> internal;
  root_.As(&internal);

  struct Case {
    const char* name;
    std::function<HRESULT()> call;
    HRESULT expected;
  };
  const Case cases[] = {
      {"empty document name", [&] { return unconnected->put_DocName(Bstr(u"").Get()); }, E_INVALIDARG},
      {"null document name", [&] { return unconnected->put_DocName(nullptr); }, E_INVALIDARG},
      {"not a compound file",
       [&] {
         FILE* f = fopen(dir_.path("plain.dkt").c_str(), "w");
         fputs("just text, not a template", f);
         fclose(f);
         return unconnected->put_DocName(dir_.file("plain.dkt").Get());
       },
       STG_E_FILEALREADYEXISTS},
      {"duplicate definition", [&] { return defs->CreateItemDef(Bstr(u"Text").Get(), def.ReleaseAndGetAddressOf()); },
       STG_E_FILEALREADYEXISTS},
      {"definition differing in case", [&] { return defs->CreateItemDef(Bstr(u"TEXT").Get(), def.ReleaseAndGetAddressOf()); },
       S_OK},
      {"definition without a name", [&] { return defs->CreateItemDef(nullptr, def.ReleaseAndGetAddressOf()); }, E_POINTER},
      {"definition by unknown name", [&] { return defs->Item(Str(u"text"), def.ReleaseAndGetAddressOf()); }, E_INVALIDARG},
      {"definition by position 0", [&] { return defs->Item(Variant::I2(0), def.ReleaseAndGetAddressOf()); }, E_INVALIDARG},
      {"definition by double", [&] { return defs->Item(Variant::R8(1), def.ReleaseAndGetAddressOf()); }, E_INVALIDARG},
      {"definitions appended without a document", [&] { return looseDefs->Append(def.Get()); }, E_INVALIDARG},
      {"definitions appended without one", [&] { return defs->Append(nullptr); }, E_INVALIDARG},
      {"field added in the value role",
       [&] { return valueRole->Add(Bstr(u"More").Get(), 8, 0, field.ReleaseAndGetAddressOf()); }, E_NOTIMPL},
      {"field removed in the value role", [&] { return valueRole->Remove(Variant::I2(1)); }, E_NOTIMPL},
      {"field by position past the end", [&] { return valueRole->Item(Variant::I4(3), field.ReleaseAndGetAddressOf()); },
       E_INVALIDARG},
      {"field by name", [&] { return valueRole->Item(Str(u"Text"), field.ReleaseAndGetAddressOf()); }, E_INVALIDARG},
      {"role 2", [&] { return valueRole->SetRole(2); }, E_INVALIDARG},
      {"fields of an unknown definition",
       [&] { return internal->GetFields(Bstr(u"Nothing").Get(), fields.ReleaseAndGetAddressOf()); }, E_INVALIDARG},
      {"fields of a null definition", [&] { return internal->GetFields(nullptr, fields.ReleaseAndGetAddressOf()); },
       E_POINTER},
      {"node by integer", [&] { return top_->Item(Variant::I2(1), node.ReleaseAndGetAddressOf()); }, E_INVALIDARG},
      {"missing node path", [&] { return top_->Item(Str(u"Labels/Text9"), node.ReleaseAndGetAddressOf()); },
       STG_E_FILENOTFOUND},
      {"node without a definition name",
       [&] { return top_->CreateNode(Bstr(u"X").Get(), nullptr, node.ReleaseAndGetAddressOf()); }, E_POINTER},
      {"node appended without a document", [&] { return looseNodes->Append(looseNode.Get()); }, E_INVALIDARG},
      {"null node appended", [&] { return top_->Append(nullptr); }, E_INVALIDARG},
      {"fields of an unconnected node", [&] { return looseNode->get_Fields(fields.ReleaseAndGetAddressOf()); }, E_POINTER},
      {"definition set on an unconnected node", [&] { return looseNode->put_ItemDef(Bstr(u"Text").Get()); }, E_POINTER},
      {"edit of an unconnected node", [&] { return looseNode->Edit(); }, E_POINTER},
      {"unknown definition on a node",
       [&] {
         top_->CreateNode(Bstr(u"Y").Get(), Bstr(u"").Get(), node.ReleaseAndGetAddressOf());
         return node->put_ItemDef(Bstr(u"Nothing").Get());
       },
       E_INVALIDARG},
      {"names read without a document", [&] { return looseNodes->ReadNodeNames(nullptr); }, E_INVALIDARG},
      {"no-op members", [&] {
         LONG pos = 7;
         HRESULT hr = defs->Delete(Variant::I2(1));
         if (hr == S_OK) hr = top_->Remove(Variant::I2(1));
         if (hr == S_OK) hr = top_->ReadNodeNames(nullptr);
         if (hr == S_OK) hr = internal->GetParent(node.ReleaseAndGetAddressOf());
         if (hr == S_OK) hr = internal->GetRoot(node.ReleaseAndGetAddressOf());
         ComPtr<IOField> f;
         if (hr == S_OK) hr = valueRole->Item(Variant::I2(1), f.GetAddressOf());
         if (hr == S_OK) hr = f->put_Position(3);
         if (hr == S_OK) hr = f->get_Position(&pos);
         return hr == S_OK && pos == 0 && !node ? S_OK : E_FAIL;
       }, S_OK},
  };
  for (const Case& c : cases) EXPECT_EQ(c.call(), c.expected) << c.name;

  // The definitions are unchanged by the refused calls, and the failed open loaded nothing.
  LONG n = 0;
  defs->get_Count(&n);
  EXPECT_EQ(n, 2);
  looseDefs->get_Count(&n);
  EXPECT_EQ(n, 0);
}

TEST_F(Document, NodesOfOneDefinitionShareItsFields) {
  ComPtr<IONode> labels;
  ASSERT_EQ(LoadNode(root_.Get(), u"Labels", &labels), S_OK);
  ComPtr<IONodes> children = Children(labels.Get());
  ComPtr<IONode> a = CreateNode(children.Get(), u"A", u"Text");
  ComPtr<IONode> b = CreateNode(children.Get(), u"B", u"Text");
  ComPtr<IOFields> fa, fb;
  ASSERT_EQ(a->get_Fields(fa.GetAddressOf()), S_OK);
  ASSERT_EQ(b->get_Fields(fb.GetAddressOf()), S_OK);
  EXPECT_EQ(fa.Get(), fb.Get());
  ASSERT_EQ(SetValue(a.Get(), 2, Variant::R8(7.5)), S_OK);
  EXPECT_EQ(ValueOf(b.Get(), 2).dblVal, 7.5);

  // Created nodes are counted in memory; the count is no longer taken from the file.
  EXPECT_EQ(CountOf(children.Get()), 2);
  EXPECT_EQ(children->put_Count(9), S_OK);
  EXPECT_EQ(CountOf(children.Get()), 2);
  Bstr path;
  b->get_FullPath(path.ReleaseAndGetAddressOf());
  EXPECT_EQ(path.View(), u"Labels/B");

  // A stored node's values load into the shared fields when it is read; a full path loads
  // the same node through any collection.
  ComPtr<IONode> text0;
  ASSERT_EQ(children->Item(Str(u"Labels/Text0"), text0.GetAddressOf()), S_OK);
  EXPECT_EQ(ValueOf(a.Get(), 2).dblVal, 1.0);
}

TEST_F(Document, RenamedDefinitionsAndFieldsAreFoundByTheirNewNames) {
  ComPtr<IOItemDefs> defs;
  root_->get_ItemDefs(defs.GetAddressOf());
  ComPtr<IOItemDef> a, b, found;
  ASSERT_EQ(defs->CreateItemDef(Bstr(u"A").Get(), a.GetAddressOf()), S_OK);
  ASSERT_EQ(a->put_Name(Bstr(u"B").Get()), S_OK);
  EXPECT_EQ(defs->CreateItemDef(Bstr(u"B").Get(), b.GetAddressOf()), STG_E_FILEALREADYEXISTS);
  ASSERT_EQ(defs->CreateItemDef(Bstr(u"A").Get(), b.GetAddressOf()), S_OK);
  ASSERT_EQ(defs->Item(Str(u"B"), found.GetAddressOf()), S_OK);
  EXPECT_EQ(found.Get(), a.Get());
  // Two definitions of one name: the first in the collection is the one found.
  ASSERT_EQ(b->put_Name(Bstr(u"B").Get()), S_OK);
  ASSERT_EQ(defs->Item(Str(u"B"), found.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(found.Get(), a.Get());
  ASSERT_EQ(a->put_Name(Bstr(u"C").Get()), S_OK);
  ASSERT_EQ(defs->Item(Str(u"B"), found.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(found.Get(), b.Get());

  ComPtr<IOFields> fields;
  ASSERT_EQ(a->get_Fields(fields.GetAddressOf()), S_OK);
  ComPtr<IOField> x, y;
  ASSERT_EQ(fields->Add(Bstr(u"X").Get(), 8, 0, x.GetAddressOf()), S_OK);
  ASSERT_EQ(x->put_Name(Bstr(u"Y").Get()), S_OK);
  EXPECT_EQ(fields->Add(Bstr(u"Y").Get(), 8, 0, y.GetAddressOf()), STG_E_FILEALREADYEXISTS);
  ASSERT_EQ(fields->Add(Bstr(u"X").Get(), 8, 0, y.GetAddressOf()), S_OK);
  ASSERT_EQ(fields->Remove(Variant::I2(1)), S_OK);  // "Y"
  EXPECT_EQ(fields->Add(Bstr(u"Y").Get(), 8, 0, y.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(fields->Remove(Str(u"X")), S_OK);  // not a position: nothing removed
  LONG n = 0;
  fields->get_Count(&n);
  EXPECT_EQ(n, 2);
}

TEST_F(Document, MoreDefinitionsThanTheFileCanCountAreRefused) {
  ComPtr<IOItemDefs> defs;
  root_->get_ItemDefs(defs.GetAddressOf());
  ComPtr<IOItemDef> def;
  for (int i = 1; i < 32768; ++i)
    ASSERT_EQ(defs->CreateItemDef(Bstr(U16("D" + std::to_string(i))).Get(), def.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(defs->Append(def.Get()), DISP_E_OVERFLOW);
  // The definitions written before stay as they were.
  root_.Reset();
  top_.Reset();
  defs.Reset();
  def.Reset();
  ComPtr<IVemraKYP> again = OpenDocument(file_);
  again->get_ItemDefs(defs.GetAddressOf());
  LONG n = 0;
  defs->get_Count(&n);
  EXPECT_EQ(n, 1);
}

TEST_F(Document, FolderStackAndPathWalks) {
  ComPtr<IOKYPStore> store = Store();
  ComPtr<IStorage> stg;
  // With no document open, a walk opens the file for itself and hands back no storage.
  EXPECT_EQ(store->SetCurrentFolder(Bstr(u"Labels/Text0").Get(), 2, stg.GetAddressOf()), S_OK);
  EXPECT_FALSE(stg);

  SHORT already = -1;
  ComPtr<IStorage> root;
  ASSERT_EQ(store->OpenDoc(nullptr, &already, root.GetAddressOf()), S_OK);
  EXPECT_EQ(already, 0);
  ComPtr<IStorage> again;
  ASSERT_EQ(store->OpenDoc(nullptr, &already, again.GetAddressOf()), S_OK);
  EXPECT_EQ(already, 1);
  EXPECT_EQ(again.Get(), root.Get());
  again.Reset();

  ASSERT_EQ(store->SetCurrentFolder(Bstr(u"Labels/Text0").Get(), 2, stg.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(StorageName(stg.Get()), u"Text0");
  ASSERT_EQ(store->SetCurrentFolder(nullptr, 3, stg.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(StorageName(stg.Get()), u"Labels");
  ASSERT_EQ(store->SetCurrentFolder(Bstr(u"Text0").Get(), 1, stg.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(StorageName(stg.Get()), u"Text0");
  ASSERT_EQ(store->SetCurrentFolder(nullptr, 0, stg.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(stg.Get(), root.Get());
  ASSERT_EQ(store->SetCurrentFolder(nullptr, 3, stg.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(stg.Get(), root.Get());

  struct Walk {
    const char* name;
    std::u16string path;
    HRESULT expected;
  };
  const Walk walks[] = {
      {"missing folder", u"Labels/Nothing", STG_E_FILENOTFOUND},
      {"component over 31 units", u"Labels/" + std::u16string(40, u'x'), STG_E_INVALIDNAME},
      {"component over 255 units", std::u16string(300, u'y'), STG_E_INVALIDNAME},
      {"component with a NUL", std::u16string(u"Labels\0x", 8), STG_E_INVALIDNAME},
      {"doubled and trailing slashes", u"/Labels//Text0/", S_OK},
      {"empty path", u"", S_OK},
  };
  for (const Walk& w : walks) {
    HRESULT hr = store->SetCurrentFolder(Bstr(w.path).Get(), 2, stg.ReleaseAndGetAddressOf());
    EXPECT_EQ(hr, w.expected) << w.name;
    EXPECT_EQ(stg.Get() != nullptr, SUCCEEDED(w.expected)) << w.name;
  }
  stg.Reset();
  root.Reset();
  EXPECT_EQ(store->CloseDoc(), S_OK);
  EXPECT_EQ(store->CloseDoc(), S_OK);
}

TEST_F(Document, FolderStackHoldsFiftyOneFolders) {
  // A chain of nested node folders deeper than the stack.
  ComPtr<IONodes> nodes = top_;
  std::u16string path;
  for (int depth = 0; depth < 52; ++depth) {
    std::u16string name = u"D" + U16(std::to_string(depth));
    ComPtr<IONode> node = CreateNode(nodes.Get(), name, u"");
    ASSERT_EQ(nodes->Append(node.Get()), S_OK) << depth;
    nodes = Children(node.Get());
    path += (depth ? u"/" : u"") + name;
  }
  ComPtr<IOKYPStore> store = Store();
  SHORT already = 0;
  ComPtr<IStorage> root, stg;
  ASSERT_EQ(store->OpenDoc(nullptr, &already, root.GetAddressOf()), S_OK);
  std::u16string fiftyOne = path.substr(0, path.rfind(u'/'));
  EXPECT_EQ(store->SetCurrentFolder(Bstr(fiftyOne).Get(), 2, stg.GetAddressOf()), S_OK);
  EXPECT_EQ(StorageName(stg.Get()), u"D50");
  EXPECT_EQ(store->SetCurrentFolder(Bstr(u"D51").Get(), 1, stg.ReleaseAndGetAddressOf()), E_OUTOFMEMORY);
  EXPECT_EQ(store->SetCurrentFolder(Bstr(path).Get(), 2, stg.ReleaseAndGetAddressOf()), E_OUTOFMEMORY);
  EXPECT_FALSE(stg);
  root.Reset();
  store->CloseDoc();
}

TEST_F(Document, NamesBeyondAsciiReachTheFileWhole) {
  const std::u16string name = u"\u00c9tiquette \u2116 1 \U0001F4BE";
  ComPtr<IONode> labels;
  ASSERT_EQ(LoadNode(root_.Get(), u"Labels", &labels), S_OK);
  ComPtr<IONodes> children = Children(labels.Get());
  ComPtr<IONode> node = CreateNode(children.Get(), name, u"Text");
  ASSERT_EQ(SetValue(node.Get(), 1, Str(name)), S_OK);
  ASSERT_EQ(children->Append(node.Get()), S_OK);
  ComPtr<IONode> back;
  ASSERT_EQ(LoadNode(root_.Get(), u"Labels/" + name, &back), S_OK);
  Bstr got;
  back->get_Name(got.ReleaseAndGetAddressOf());
  EXPECT_EQ(got.View(), name);
  EXPECT_EQ(xcom::BstrView(ValueOf(back.Get(), 1).bstrVal), name);
}

TEST_F(Document, CountsStoredChildNodesOnly) {
  root_.Reset();
  top_.Reset();
  fs::path file = dir_.path("doc.dkt");
  AddElement(file, {u"Labels"}, u"Text1", true);
  AddElement(file, {u"Labels"}, u"@$_platform", true);
  AddElement(file, {u"Labels"}, u"__itemdef0__", true);
  AddElement(file, {u"Labels"}, u"loose stream", false);
  root_ = OpenDocument(file_);
  ComPtr<IONode> labels;
  ASSERT_EQ(LoadNode(root_.Get(), u"Labels", &labels), S_OK);
  EXPECT_EQ(CountOf(Children(labels.Get()).Get()), 2);
  EXPECT_EQ(CountOf(TopNodes(root_.Get()).Get()), 1);
  // A node built in memory has no stored children yet.
  ComPtr<IONode> fresh = CreateNode(TopNodes(root_.Get()).Get(), u"Fresh", u"");
  EXPECT_EQ(CountOf(Children(fresh.Get()).Get()), 0);
}

TEST_F(Document, EditHoldsTheFileUntilUpdate) {
  ComPtr<IONode> text0;
  ASSERT_EQ(LoadNode(root_.Get(), u"Labels/Text0", &text0), S_OK);
  ASSERT_EQ(text0->Edit(), S_OK);
  ComPtr<IVemraKYP> other = NewRoot();
  EXPECT_EQ(other->put_DocName(file_.Get()), STG_E_SHAREVIOLATION);
  // Operations of the document go on while it is held open.
  EXPECT_EQ(CountOf(Children(text0.Get()).Get()), 0);
  ComPtr<IONode> labels;
  EXPECT_EQ(LoadNode(root_.Get(), u"Labels", &labels), S_OK);
  ASSERT_EQ(text0->Update(), S_OK);
  EXPECT_EQ(other->put_DocName(file_.Get()), S_OK);
  other.Reset();

  // A node whose folder is gone cannot be edited, and the file is not left held.
  ComPtr<IONode> ghost = CreateNode(TopNodes(root_.Get()).Get(), u"Ghost", u"");
  EXPECT_EQ(ghost->Edit(), STG_E_FILENOTFOUND);
  other = NewRoot();
  EXPECT_EQ(other->put_DocName(file_.Get()), S_OK);
}

// A template on a medium that may not be written (a CD, a read-only share, a file without
// write permission) is read as any other; a change to it fails and leaves it as it was. The
// reading runs in a child process without write permission to the file or its folder (as a
// plain user when the tests run as root, whom permissions do not stop).
TEST_F(Document, AFileThatMayNotBeWrittenIsReadAndChangesToItFail) {
  root_.Reset();
  top_.Reset();
  const fs::path file = dir_.path("doc.dkt");
  auto bytes = [&] {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string before = bytes();
  ComPtr<IVemraKYP> reader = NewRoot();  // made before the child gives up its rights
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const fs::perms folderWas = fs::status(file.parent_path()).permissions();
  fs::permissions(file.parent_path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(10);
    if (reader->put_DocName(file_.Get()) != S_OK) _exit(1);
    ComPtr<IONode> text0;
    if (LoadNode(reader.Get(), u"Labels/Text0", &text0) != S_OK) _exit(2);
    const Variant value = ValueOf(text0.Get(), 1);
    if (value.vt != VT_BSTR || xcom::BstrView(value.bstrVal) != u"zero") _exit(3);
    ComPtr<IONodes> top;
    if (reader->get_Nodes(top.GetAddressOf()) != S_OK) _exit(4);
    ComPtr<IONode> added;
    if (top->CreateNode(Bstr(u"Added").Get(), Bstr(u"").Get(), added.GetAddressOf()) != S_OK) _exit(5);
    if (SUCCEEDED(top->Append(added.Get()))) _exit(6);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  fs::permissions(file.parent_path(), folderWas);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1 open, 2 node, 3 value, 4 nodes, 5 create, 6 the change was written";
  EXPECT_EQ(bytes(), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1);
}

TEST_F(Document, ObjectsKeptPastTheirRootFailCleanly) {
  ComPtr<IONode> text0;
  ASSERT_EQ(LoadNode(root_.Get(), u"Labels/Text0", &text0), S_OK);
  ComPtr<IONodes> children = Children(text0.Get());
  ComPtr<IONodes> top = top_;
  ComPtr<IOFields> fields;
  ASSERT_EQ(text0->get_Fields(fields.GetAddressOf()), S_OK);
  top_.Reset();
  root_.Reset();
  EXPECT_EQ(text0->put_ItemDef(Bstr(u"Text").Get()), E_UNEXPECTED);
  EXPECT_EQ(text0->Edit(), E_UNEXPECTED);
  ComPtr<IONode> node;
  EXPECT_EQ(top->Item(Str(u"Labels"), node.GetAddressOf()), E_UNEXPECTED);
  EXPECT_EQ(top->Append(text0.Get()), E_UNEXPECTED);
  LONG n = -1;
  EXPECT_EQ(children->get_Count(&n), E_UNEXPECTED);
  // The fields stay usable on their own.
  LONG count = 0;
  EXPECT_EQ(fields->get_Count(&count), S_OK);
  EXPECT_EQ(count, 2);
}

TEST_F(Document, ReachedByDispatch) {
  ComPtr<IDispatch> disp;
  ASSERT_EQ(root_.As(&disp), S_OK);
  auto id = [&](IDispatch* d, const char16_t* name) {
    DISPID dispid = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid), S_OK) << "no member";
    return dispid;
  };
  EXPECT_EQ(id(disp.Get(), u"docname"), 1);
  EXPECT_EQ(id(disp.Get(), u"NODES"), 3);
  Variant result;
  ASSERT_EQ(xcom::CallDispatch(disp.Get(), 3, DISPATCH_PROPERTYGET, {}, &result), S_OK);
  ASSERT_EQ(result.vt, VT_DISPATCH);
  // The default member of a collection: Item by path.
  Variant path = Str(u"Labels/Text0"), node;
  ASSERT_EQ(xcom::CallDispatch(result.pdispVal, DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {static_cast<VARIANT*>(&path), 1}, &node),
            S_OK);
  ASSERT_EQ(node.vt, VT_DISPATCH);
  Variant name;
  ASSERT_EQ(xcom::CallDispatch(node.pdispVal, id(node.pdispVal, u"Name"), DISPATCH_PROPERTYGET, {}, &name), S_OK);
  EXPECT_EQ(xcom::BstrView(name.bstrVal), u"Text0");
  // A refused call reaches the caller with its status.
  Variant bad = Variant::I2(1), none;
  EXCEPINFO info{};
  EXPECT_EQ(xcom::CallDispatch(result.pdispVal, DISPID_VALUE, DISPATCH_METHOD, {static_cast<VARIANT*>(&bad), 1}, &none, &info),
            DISP_E_EXCEPTION);
  EXPECT_EQ(info.scode, E_INVALIDARG);
  xcom::ClearExcepInfo(&info);
}

TEST(FieldValue, FailedCopyIsReported) {
  ComPtr<IOField> field;
  ASSERT_EQ(xcom::CreateInstance(CLSID_OField, &field), S_OK);
  Variant odd;
  odd.vt = 0x0FFF;  // no such variant type
  HRESULT hr = field->put_Value(odd);
  odd.vt = VT_EMPTY;
  EXPECT_TRUE(FAILED(hr));
  Variant stored;
  stored = FieldValue(field.Get());
  EXPECT_EQ(stored.vt, VT_ERROR);
  EXPECT_EQ(stored.scode, hr);
  // A value given by reference is kept as the value itself.
  double d = 2.5;
  Variant ref;
  ref.pdblVal = &d;
  ref.vt = VT_BYREF | VT_R8;
  ASSERT_EQ(field->put_Value(ref), S_OK);
  ref.vt = VT_EMPTY;
  d = 0;
  stored = FieldValue(field.Get());
  EXPECT_EQ(stored.vt, VT_R8);
  EXPECT_EQ(stored.dblVal, 2.5);
}

}  // namespace
}  // namespace kyptest
