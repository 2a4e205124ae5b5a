// What the classes of the template store share: the library's object count, the open modes
// of the file layout, the stream names and small helpers for BSTRs and index VARIANTs.
#pragma once

#include <string>
#include <string_view>

#include "cfb.h"
#include "kyp.h"
#include "namedcalls.h"
#include "xcom/xcom.h"

// A class that implements several interfaces declares their IUnknown members once more, so
// that a call through the class itself names one member (the component object's).
#define KYP_IUNKNOWN_MEMBERS                                    \
  HRESULT QueryInterface(REFIID riid, void** ppv) override = 0; \
  ULONG AddRef() override = 0;                                  \
  ULONG Release() override = 0;

namespace kyp {

using xcom::ComPtr;

// Every object of the library counts here while it lives (DllCanUnloadNow).
xcom::ServerModule& Module();

// Open modes: a file or storage opened for use, anything created (replacing), a stream read.
inline constexpr DWORD kOpenMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;                 // 0x12
inline constexpr DWORD kCreateMode = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;  // 0x1012
inline constexpr DWORD kReadMode = STGM_READ | STGM_SHARE_EXCLUSIVE;                       // 0x10

inline constexpr char16_t kItemDefStream[] = u"__ITEMDEF0__";
inline constexpr char16_t kNodeHeaderStream[] = u"__NODE_HEADER_";
inline constexpr char16_t kNodeDataStream[] = u"__NODE_DATA_";
inline constexpr char16_t kFieldStreamPrefix[] = u"_F_";

inline std::u16string_view View(BSTR b) { return xcom::BstrView(b); }

// A BSTR copy of text for an out parameter; E_OUTOFMEMORY when it cannot be made.
HRESULT CopyOut(const xcom::Bstr& value, BSTR* out);
// Replaces a held string by a copy of a BSTR (null stays null).
HRESULT CopyIn(BSTR value, xcom::Bstr* held);

// An index VARIANT as a 1-based position (a 16- or 32-bit integer, by value or by reference).
bool IndexPosition(const VARIANT& index, LONG* position);
// An index VARIANT as a string (by value or by reference).
bool IndexString(const VARIANT& index, std::u16string_view* text);

// One operation's use of the document: opens it (or finds it open), goes to a folder, and
// closes it again at the end unless it was open before.
class DocSession {
 public:
  explicit DocSession(IOKYPStore* store) : store_(store) {}
  ~DocSession();
  DocSession(const DocSession&) = delete;
  DocSession& operator=(const DocSession&) = delete;

  HRESULT Open();
  // The folder at an absolute node path; the root for an empty path.
  HRESULT GoTo(BSTR path, ComPtr<IStorage>* folder);
  // Both: opens the document, then goes to the folder.
  HRESULT OpenAt(BSTR path, ComPtr<IStorage>* folder);
  // Closes the document when this session opened it; a failure to write the file becomes
  // the result of an operation that had succeeded so far.
  HRESULT Close(HRESULT result);

 private:
  IOKYPStore* store_;
  ComPtr<IStorage> root_;
  bool open_ = false;
  SHORT already_ = 0;
};

}  // namespace kyp
