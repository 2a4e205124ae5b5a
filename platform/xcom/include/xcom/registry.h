// The component registry: a file of keys and values in the registry's model (roots, keys with
// subkeys, named string and number values, a default value per key). Key and value names
// compare ignoring letter case and keep the case they were first written in.
//
// The file is "xcom.reg" in the program folder, or the file named by the environment variable
// XCOM_REGISTRY (every test runs with the build tree's registry). It is read again when it
// changes on disk, and every change rewrites it whole and atomically (a new file renamed over
// the old one), under a lock shared with other processes, so two registrations running at the
// same time both land and a reader never sees half a file.
//
// Libraries register through RegisterServer below, which writes a class's entries in one
// rewrite. The functions named as the system's (RegOpenKeyExA ...) answer the system's error
// numbers (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND ...); names and values are UTF-8.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "wintypes.h"

// A registry key handle: one of the roots, or a key opened below one (closed with RegCloseKey).
enum class HKEY : std::uintptr_t {};
using PHKEY = HKEY*;
using REGSAM = DWORD;

inline constexpr HKEY HKEY_CLASSES_ROOT = HKEY{0x80000000u};
inline constexpr HKEY HKEY_CURRENT_USER = HKEY{0x80000001u};
inline constexpr HKEY HKEY_LOCAL_MACHINE = HKEY{0x80000002u};
inline constexpr HKEY HKEY_USERS = HKEY{0x80000003u};

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Error numbers of the registry functions that wintypes.h does not carry.
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_BADDB = 1009;
inline constexpr DWORD ERROR_CANTWRITE = 1013;
inline constexpr DWORD ERROR_KEY_DELETED = 1018;

// Opens an existing key (lpSubKey null or empty: the key itself again). ERROR_FILE_NOT_FOUND
// when it does not exist.
LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
// Opens a key, creating it and the keys above it as needed; *lpdwDisposition (may be null)
// tells which. lpClass and lpSecurityAttributes are ignored. ERROR_INVALID_PARAMETER for a
// path with an empty or over-long component or a control character.
LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD Reserved, char* lpClass, DWORD dwOptions,
                     REGSAM samDesired, void* lpSecurityAttributes, PHKEY phkResult,
                     DWORD* lpdwDisposition);
LONG RegCloseKey(HKEY hKey);
// lpValueName null or empty: the key's default value. REG_SZ (the bytes up to the first NUL or
// cbData) and REG_DWORD (4 bytes) are kept; other types give ERROR_INVALID_PARAMETER.
LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);
// Reads a value: *lpType (may be null) its type; with lpData null, *lpcbData the size needed;
// a REG_SZ comes with its NUL. ERROR_MORE_DATA (and the size needed) when the buffer is short;
// ERROR_FILE_NOT_FOUND when there is no such value.
LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData);
LONG RegDeleteValueA(HKEY hKey, const char* lpValueName);
// Removes a key without subkeys (ERROR_ACCESS_DENIED when it has some).
LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey);
// Removes a key with everything below it (lpSubKey null or empty: everything below hKey, the
// key itself staying).
LONG RegDeleteTreeA(HKEY hKey, const char* lpSubKey);

namespace xcom {

// The registry file in use: $XCOM_REGISTRY when set and not empty, else "xcom.reg" in the
// program folder.
std::filesystem::path RegistryFile();

// ---------------------------------------------------------------------------------------------
// Self-registration of a component library (what DllRegisterServer writes).

// A key below the class's key (CLSID\{...}), with an optional default value; "%MODULE%" in the
// value stands for the library's path.
struct ClassSubkey {
  const char* path;
  const char* value = nullptr;  // null: the key without a default value
};

// What a container asks of a control's class key: "Control" and "Insertable", the toolbox
// picture (resource 102 of the library), the misc status bits (131473 for the content aspect)
// and the control's version 1.0.
inline constexpr ClassSubkey kControlClassKeys[] = {
    {"Control"},
    {"Insertable"},
    {"ToolboxBitmap32", "%MODULE%, 102"},
    {"MiscStatus", "0"},
    {"MiscStatus\\1", "131473"},
    {"Version", "1.0"},
};

// One creatable class:
//   HKCR\<progId>                     = description, \CLSID = {clsid}
//   HKCR\<versionIndependentProgId>   = description, \CLSID = {clsid}, [\CurVer = progId]
//   HKCR\CLSID\{clsid}                = description (removed and rewritten whole), with
//       \ProgID = progId, \VersionIndependentProgID, [\Programmable], \InprocServer32 = the
//       library's path with "ThreadingModel" = threadingModel, [\TypeLib = {typeLib}], extras.
struct ClassRegistration {
  CLSID clsid;
  const char* description;               // "OStorage Class"
  const char* progId;                    // "Brevix.OStorage.1"
  const char* versionIndependentProgId;  // "Brevix.OStorage"
  const char* threadingModel;            // "Apartment" or "both"
  bool curVer = true;                    // CurVer under the version-independent ProgID
  bool programmable = true;              // the empty key "Programmable"
  const GUID* typeLib = nullptr;         // the TypeLib entry; null: none
  std::span<const ClassSubkey> extras = {};
};

// A type library: HKCR\TypeLib\{libid}\<version> = helpString, with \0\win32 = the library's
// path, \FLAGS = "0" and \HELPDIR = the library's folder.
struct TypeLibRegistration {
  GUID libid;
  const char* version;     // "1.0"
  const char* helpString;  // "Brevix 1.0 Type Library"
};

struct ServerRegistration {
  std::span<const ClassRegistration> classes;
  const TypeLibRegistration* typeLib = nullptr;
};

// Writes every entry of the server in one rewrite of the registry, with the path of the
// library that holds `server` (found with dladdr: the description must be an object of the
// library itself, at namespace scope). SELFREG_E_CLASS when the library cannot be found or the
// registry cannot be written.
HRESULT RegisterServer(const ServerRegistration& server);
// Removes what RegisterServer wrote: the ProgID keys, the class keys, the type library's key;
// HKCR\CLSID itself stays, HKCR\TypeLib goes once it is empty.
HRESULT UnregisterServer(const ServerRegistration& server);

// A component library that a program ships beside its executable: its file name and the
// ProgIDs of the classes the program creates from it.
struct ShippedServer {
  const char* fileName;                  // "libbrevix.so"
  std::span<const char* const> progIds;  // "Brevix.CompCtl", ...
};

// Registers into the registry in use each shipped library of `folder` whose classes that
// registry cannot create: a ProgID it does not know, or one whose class names a library file
// that is not there (a registry written for another copy of the program). Each library
// registers itself through its own DllRegisterServer, as the registration tool runs it; the
// libraries the registry already serves are not touched. S_OK when nothing was missing or all
// of it registered; else the first failure (REGDB_E_READREGDB for a registry that cannot be
// read, which is never written; CO_E_DLLNOTFOUND for a library that is not in `folder` or
// does not load; the entry point's answer), with the library and the reason in *error (may
// be null). The other libraries are still registered.
HRESULT RegisterMissingServers(const std::filesystem::path& folder, std::span<const ShippedServer> servers,
                               std::string* error = nullptr);

// The path of the loaded library (or program) that holds an address; empty when none does.
std::string ModulePathOf(const void* address);

}  // namespace xcom
