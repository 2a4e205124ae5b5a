// Helpers of the template store tests: documents made through the registered library, and
// direct reading and writing of a template file's streams through the compound-file layer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "cfb.h"
#include "kyp.h"
#include "testing_files/test_support.h"
#include "xcom/xcom.h"

namespace kyptest {

using Bytes = std::vector<std::uint8_t>;
using xcom::Bstr;
using xcom::ComPtr;
using xcom::Variant;

// A folder of its own for each test, removed afterwards.
class TempDir {
 public:
  std::filesystem::path path(const std::string& name) const { return dir_.path() / name; }
  Bstr file(const std::string& name) const;

 private:
  testing_files::ScratchFolder dir_{"kyp-test"};
};

std::u16string U16(const std::string& ascii);

// A document root made through the component runtime, with DocName set to file (checked).
ComPtr<IVemraKYP> NewRoot();
ComPtr<IVemraKYP> OpenDocument(const Bstr& file);

// Shorthands for the model's calls, each checked to succeed.
ComPtr<IOItemDef> DefineItem(IVemraKYP* root, const std::u16string& name,
                             std::initializer_list<std::pair<std::u16string, SHORT>> fields);
ComPtr<IONode> CreateNode(IONodes* nodes, const std::u16string& name, const std::u16string& itemDef);
ComPtr<IONodes> Children(IONode* node);
ComPtr<IONodes> TopNodes(IVemraKYP* root);
ComPtr<IOField> FieldAt(IONode* node, LONG position);
HRESULT LoadNode(IVemraKYP* root, const std::u16string& path, ComPtr<IONode>* node);
Variant FieldValue(IOField* field);
Variant ValueOf(IONode* node, LONG position);
HRESULT SetValue(IONode* node, LONG position, const VARIANT& value);
LONG CountOf(IONodes* nodes);

Variant Str(std::u16string_view s);
Variant NullStr();
Variant Bool(bool b);
Variant ByteArray(const Bytes& bytes);
Bytes BytesOf(const VARIANT& v);  // a VT_ARRAY|VT_UI1 value's bytes

// The bytes of a stream at a path of storages in a compound file; fails the test when missing.
Bytes ReadStream(const std::filesystem::path& file, const std::vector<std::u16string>& storages,
                 const std::u16string& stream);
// Replaces (or creates) a stream at a path of existing storages.
void WriteStream(const std::filesystem::path& file, const std::vector<std::u16string>& storages,
                 const std::u16string& stream, const Bytes& bytes);
// Creates an empty storage or stream below the root, for fixtures.
void AddElement(const std::filesystem::path& file, const std::vector<std::u16string>& storages,
                const std::u16string& name, bool storage);

// Little-endian byte builders for expected stream contents.
void PutI16(Bytes& b, int v);
void PutI32(Bytes& b, std::int64_t v);
void PutI64(Bytes& b, std::int64_t v);
void PutString(Bytes& b, const std::u16string& s);  // the string form

}  // namespace kyptest
