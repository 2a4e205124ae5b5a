// The basic types and status values that every platform layer and both libraries share:
// fixed-width integer names, HRESULT with the Windows numeric values, GUID, FILETIME and
// the IUnknown contract. Header only; nothing here allocates.
#pragma once

#include <cstdint>
#include <cstring>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using INT = std::int32_t;
using UINT = std::uint32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using BOOL = std::int32_t;          // kernel-style Boolean: 0 false, non-zero true
using WCHAR = char16_t;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using HRESULT = std::int32_t;
using SCODE = std::int32_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr HRESULT MAKE_HRESULT_FROM_U32(std::uint32_t v) { return static_cast<HRESULT>(v); }

// General status values.
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MAKE_HRESULT_FROM_U32(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = MAKE_HRESULT_FROM_U32(0x80004002u);
inline constexpr HRESULT E_POINTER = MAKE_HRESULT_FROM_U32(0x80004003u);
inline constexpr HRESULT E_ABORT = MAKE_HRESULT_FROM_U32(0x80004004u);
inline constexpr HRESULT E_FAIL = MAKE_HRESULT_FROM_U32(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = MAKE_HRESULT_FROM_U32(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = MAKE_HRESULT_FROM_U32(0x80070005u);
inline constexpr HRESULT E_HANDLE = MAKE_HRESULT_FROM_U32(0x80070006u);
inline constexpr HRESULT E_OUTOFMEMORY = MAKE_HRESULT_FROM_U32(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MAKE_HRESULT_FROM_U32(0x80070057u);

// Structured storage.
inline constexpr HRESULT STG_E_INVALIDFUNCTION = MAKE_HRESULT_FROM_U32(0x80030001u);
inline constexpr HRESULT STG_E_FILENOTFOUND = MAKE_HRESULT_FROM_U32(0x80030002u);
inline constexpr HRESULT STG_E_PATHNOTFOUND = MAKE_HRESULT_FROM_U32(0x80030003u);
inline constexpr HRESULT STG_E_TOOMANYOPENFILES = MAKE_HRESULT_FROM_U32(0x80030004u);
inline constexpr HRESULT STG_E_ACCESSDENIED = MAKE_HRESULT_FROM_U32(0x80030005u);
inline constexpr HRESULT STG_E_INVALIDHANDLE = MAKE_HRESULT_FROM_U32(0x80030006u);
inline constexpr HRESULT STG_E_INSUFFICIENTMEMORY = MAKE_HRESULT_FROM_U32(0x80030008u);
inline constexpr HRESULT STG_E_INVALIDPOINTER = MAKE_HRESULT_FROM_U32(0x80030009u);
inline constexpr HRESULT STG_E_NOMOREFILES = MAKE_HRESULT_FROM_U32(0x80030012u);
inline constexpr HRESULT STG_E_DISKISWRITEPROTECTED = MAKE_HRESULT_FROM_U32(0x80030013u);
inline constexpr HRESULT STG_E_SEEKERROR = MAKE_HRESULT_FROM_U32(0x80030019u);
inline constexpr HRESULT STG_E_WRITEFAULT = MAKE_HRESULT_FROM_U32(0x8003001Du);
inline constexpr HRESULT STG_E_READFAULT = MAKE_HRESULT_FROM_U32(0x8003001Eu);
inline constexpr HRESULT STG_E_SHAREVIOLATION = MAKE_HRESULT_FROM_U32(0x80030020u);
inline constexpr HRESULT STG_E_LOCKVIOLATION = MAKE_HRESULT_FROM_U32(0x80030021u);
inline constexpr HRESULT STG_E_FILEALREADYEXISTS = MAKE_HRESULT_FROM_U32(0x80030050u);
inline constexpr HRESULT STG_E_INVALIDPARAMETER = MAKE_HRESULT_FROM_U32(0x80030057u);
inline constexpr HRESULT STG_E_MEDIUMFULL = MAKE_HRESULT_FROM_U32(0x80030070u);
inline constexpr HRESULT STG_E_INVALIDHEADER = MAKE_HRESULT_FROM_U32(0x800300FBu);
inline constexpr HRESULT STG_E_INVALIDNAME = MAKE_HRESULT_FROM_U32(0x800300FCu);
inline constexpr HRESULT STG_E_UNKNOWN = MAKE_HRESULT_FROM_U32(0x800300FDu);
inline constexpr HRESULT STG_E_UNIMPLEMENTEDFUNCTION = MAKE_HRESULT_FROM_U32(0x800300FEu);
inline constexpr HRESULT STG_E_INVALIDFLAG = MAKE_HRESULT_FROM_U32(0x800300FFu);
inline constexpr HRESULT STG_E_INUSE = MAKE_HRESULT_FROM_U32(0x80030100u);
inline constexpr HRESULT STG_E_REVERTED = MAKE_HRESULT_FROM_U32(0x80030102u);
inline constexpr HRESULT STG_E_OLDFORMAT = MAKE_HRESULT_FROM_U32(0x80030104u);
inline constexpr HRESULT STG_E_DOCFILECORRUPT = MAKE_HRESULT_FROM_U32(0x80030109u);

// Automation.
inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MAKE_HRESULT_FROM_U32(0x80020001u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MAKE_HRESULT_FROM_U32(0x80020003u);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = MAKE_HRESULT_FROM_U32(0x80020004u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MAKE_HRESULT_FROM_U32(0x80020005u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = MAKE_HRESULT_FROM_U32(0x80020006u);
inline constexpr HRESULT DISP_E_NONAMEDARGS = MAKE_HRESULT_FROM_U32(0x80020007u);
inline constexpr HRESULT DISP_E_BADVARTYPE = MAKE_HRESULT_FROM_U32(0x80020008u);
inline constexpr HRESULT DISP_E_EXCEPTION = MAKE_HRESULT_FROM_U32(0x80020009u);
inline constexpr HRESULT DISP_E_OVERFLOW = MAKE_HRESULT_FROM_U32(0x8002000Au);
inline constexpr HRESULT DISP_E_BADINDEX = MAKE_HRESULT_FROM_U32(0x8002000Bu);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = MAKE_HRESULT_FROM_U32(0x8002000Du);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MAKE_HRESULT_FROM_U32(0x8002000Eu);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = MAKE_HRESULT_FROM_U32(0x8002000Fu);
inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = MAKE_HRESULT_FROM_U32(0x8002802Bu);

// Component activation and connection points.
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MAKE_HRESULT_FROM_U32(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MAKE_HRESULT_FROM_U32(0x80040111u);
inline constexpr HRESULT REGDB_E_READREGDB = MAKE_HRESULT_FROM_U32(0x80040150u);
inline constexpr HRESULT REGDB_E_WRITEREGDB = MAKE_HRESULT_FROM_U32(0x80040151u);
inline constexpr HRESULT REGDB_E_KEYMISSING = MAKE_HRESULT_FROM_U32(0x80040152u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MAKE_HRESULT_FROM_U32(0x80040154u);
inline constexpr HRESULT REGDB_E_IIDNOTREG = MAKE_HRESULT_FROM_U32(0x80040155u);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = MAKE_HRESULT_FROM_U32(0x80040200u);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = MAKE_HRESULT_FROM_U32(0x80040201u);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = MAKE_HRESULT_FROM_U32(0x80040202u);
inline constexpr HRESULT SELFREG_E_TYPELIB = MAKE_HRESULT_FROM_U32(0x80040200u);
inline constexpr HRESULT SELFREG_E_CLASS = MAKE_HRESULT_FROM_U32(0x80040201u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = MAKE_HRESULT_FROM_U32(0x800401F0u);
inline constexpr HRESULT CO_E_CLASSSTRING = MAKE_HRESULT_FROM_U32(0x800401F3u);
inline constexpr HRESULT CO_E_DLLNOTFOUND = MAKE_HRESULT_FROM_U32(0x800401F8u);
inline constexpr HRESULT CO_E_ERRORINDLL = MAKE_HRESULT_FROM_U32(0x800401F9u);
inline constexpr HRESULT RPC_E_CHANGED_MODE = MAKE_HRESULT_FROM_U32(0x80010106u);

// Kernel error numbers that travel as plain values.
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_DRIVE = 15;
inline constexpr DWORD ERROR_WRITE_PROTECT = 19;
inline constexpr DWORD ERROR_NOT_READY = 21;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_LABEL_TOO_LONG = 154;
inline constexpr DWORD ERROR_NO_MORE_FILES = 18;
inline constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_WRITE_FAULT = 29;
inline constexpr DWORD ERROR_READ_FAULT = 30;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_DISK_FULL = 112;
inline constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
inline constexpr DWORD ERROR_BUSY = 170;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr DWORD ERROR_DIRECTORY = 267;
inline constexpr DWORD ERROR_CANT_RESOLVE_FILENAME = 1921;

// The calling thread's last kernel error number, as the kernel-style functions of the
// platform layers leave it on failure.
inline DWORD& LastErrorSlot() {
  thread_local DWORD value = ERROR_SUCCESS;
  return value;
}
inline DWORD GetLastError() { return LastErrorSlot(); }
inline void SetLastError(DWORD code) { LastErrorSlot() = code; }

// 100-nanosecond intervals since 1 January 1601 (UTC unless a Part says local).
struct FILETIME {
  DWORD dwLowDateTime = 0;
  DWORD dwHighDateTime = 0;
};
inline constexpr std::uint64_t FileTimeToU64(const FILETIME& ft) {
  return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
inline constexpr FILETIME U64ToFileTime(std::uint64_t v) {
  return FILETIME{static_cast<DWORD>(v & 0xFFFFFFFFu), static_cast<DWORD>(v >> 32)};
}

union LARGE_INTEGER {
  struct { DWORD LowPart; LONG HighPart; } u;
  LONGLONG QuadPart;
};
union ULARGE_INTEGER {
  struct { DWORD LowPart; DWORD HighPart; } u;
  ULONGLONG QuadPart;
};

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// The root of every component interface: reference counting and interface discovery.
// Interfaces are C++ abstract classes whose virtual functions stand in the slot order of
// the original interfaces.
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;  // objects are destroyed through Release, never through delete
};
