// Compound files (structured storage): genuine compound files of version 3 (512-byte
// sectors, 64-byte mini sectors, mini-stream cutoff 4096) written and modified in place;
// version 4 files (4096-byte sectors) are read and modified too.
//
// The names, slot orders, signatures and status values are those of the platform's
// structured storage, in direct mode only:
//   - there are no transactions: what is written is in the file once the root storage is
//     released (IStorage::Commit on the root writes it out early and reports failures);
//   - a process killed at any moment leaves a file that opens and holds the state of the
//     last release (or of the release under way, once it has completed): changes are held
//     in memory (past 128 MB of them, written out early) and reach the file through an undo
//     journal "<file>-journal" beside it, which the next open plays back or removes. A
//     release syncs the journal and its folder before it overwrites anything in the file,
//     then the file, then removes the journal and syncs the folder again before it answers,
//     so that a power cut leaves one state or the other. The journal knows its file by the
//     file's header before and after the release, so the pair still recovers when copied
//     elsewhere or found on another device; a journal that fits neither is kept, with the
//     file, and the open refused (STG_E_DOCFILECORRUPT). A release that cannot make its
//     journal writes nothing and says why (STG_E_MEDIUMFULL on a full disk,
//     STG_E_ACCESSDENIED, STG_E_INVALIDNAME for a name with no room for the suffix), and
//     the file keeps the last release. STGM_CREATE over an existing file writes the new file beside
//     it and renames it into place at the release; a new file made with STGM_CREATE is
//     built beside as well and appears at its path, whole, at its first release;
//   - element names have at most 31 UTF-16 units and contain none of '/', '\', ':', '!'
//     (STG_E_INVALIDNAME otherwise); they compare as the format does: shorter first, then
//     unit by unit after upper-casing. Stat and enumeration give back the stored case;
//   - mode flags: STGM_READ, STGM_WRITE, STGM_READWRITE, STGM_SHARE_EXCLUSIVE (required)
//     and STGM_CREATE; anything else is refused with STG_E_INVALIDFLAG;
//   - exclusive sharing holds against any second open of the file, in this process or
//     another (open file description locks). A file that someone holds gives
//     STG_E_SHAREVIOLATION and is left untouched, STGM_CREATE included;
//   - an element that is open cannot be opened a second time or renamed, and neither it nor
//     a storage above it can be replaced or destroyed: STG_E_ACCESSDENIED. Writing to an
//     element opened for reading, or reading a stream opened with STGM_WRITE alone, gives
//     STG_E_ACCESSDENIED too;
//   - releasing the root writes the file, closes it and reverts every element still open
//     below it: their calls answer STG_E_REVERTED, their Release still works. A storage
//     other than the root may be released before the elements opened from it;
//   - a corrupt or hostile file gives STG_E_INVALIDHEADER (the header) or
//     STG_E_DOCFILECORRUPT (anything below it), never a crash;
//   - methods that the system never calls answer STG_E_UNIMPLEMENTEDFUNCTION.
//
// Objects are used by the thread that made them (apartment model); different files may be
// used from different threads at once.
//
// STATSTG::pwcsName is allocated with std::malloc: free it with std::free, or with the
// component runtime's CoTaskMemFree, which is std::free-compatible.
#pragma once

#include "wintypes.h"

// Mode flags.
inline constexpr DWORD STGM_DIRECT = 0x00000000;
inline constexpr DWORD STGM_FAILIFTHERE = 0x00000000;
inline constexpr DWORD STGM_READ = 0x00000000;
inline constexpr DWORD STGM_WRITE = 0x00000001;
inline constexpr DWORD STGM_READWRITE = 0x00000002;
inline constexpr DWORD STGM_SHARE_DENY_NONE = 0x00000040;
inline constexpr DWORD STGM_SHARE_DENY_READ = 0x00000030;
inline constexpr DWORD STGM_SHARE_DENY_WRITE = 0x00000020;
inline constexpr DWORD STGM_SHARE_EXCLUSIVE = 0x00000010;
inline constexpr DWORD STGM_PRIORITY = 0x00040000;
inline constexpr DWORD STGM_CREATE = 0x00001000;
inline constexpr DWORD STGM_CONVERT = 0x00020000;
inline constexpr DWORD STGM_TRANSACTED = 0x00010000;
inline constexpr DWORD STGM_NOSCRATCH = 0x00100000;
inline constexpr DWORD STGM_NOSNAPSHOT = 0x00200000;
inline constexpr DWORD STGM_SIMPLE = 0x08000000;
inline constexpr DWORD STGM_DIRECT_SWMR = 0x00400000;
inline constexpr DWORD STGM_DELETEONRELEASE = 0x04000000;

// Element types (STATSTG::type).
inline constexpr DWORD STGTY_STORAGE = 1;
inline constexpr DWORD STGTY_STREAM = 2;
inline constexpr DWORD STGTY_LOCKBYTES = 3;
inline constexpr DWORD STGTY_PROPERTY = 4;

// Stat flags.
inline constexpr DWORD STATFLAG_DEFAULT = 0;
inline constexpr DWORD STATFLAG_NONAME = 1;
inline constexpr DWORD STATFLAG_NOOPEN = 2;

// Seek origins.
inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;

// Commit flags (direct mode: every value writes the file out).
inline constexpr DWORD STGC_DEFAULT = 0;
inline constexpr DWORD STGC_OVERWRITE = 1;
inline constexpr DWORD STGC_ONLYIFCURRENT = 2;

// {0000000B-0000-0000-C000-000000000046}
inline constexpr IID IID_IStorage = {0x0000000B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0000000C-0000-0000-C000-000000000046}
inline constexpr IID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0000000D-0000-0000-C000-000000000046}
inline constexpr IID IID_IEnumSTATSTG = {0x0000000D, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0C733A30-2A1C-11CE-ADE5-00AA0044773D}
inline constexpr IID IID_ISequentialStream = {
    0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};

using SNB = OLECHAR**;

struct STATSTG {
  LPOLESTR pwcsName;        // std::malloc'ed, null with STATFLAG_NONAME
  DWORD type;               // STGTY_STORAGE or STGTY_STREAM
  ULARGE_INTEGER cbSize;    // a stream's size; 0 for a storage
  FILETIME mtime;           // storages: as stored; streams: zero
  FILETIME ctime;
  FILETIME atime;
  DWORD grfMode;            // the open mode for Stat of an open object; 0 in enumerations
  DWORD grfLocksSupported;  // 0
  CLSID clsid;              // storages: as stored
  DWORD grfStateBits;       // storages: as stored
  DWORD reserved;
};

struct ISequentialStream : IUnknown {
  // Reads at most cb bytes from the seek position. S_OK when all cb bytes were read,
  // S_FALSE (a success code) when the end of the stream came first; *pcbRead (when not
  // null) always receives the count read.
  virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
  // Writes cb bytes at the seek position, growing the stream as needed (a gap past the end
  // reads as zeros). STG_E_ACCESSDENIED when the stream was not opened for writing,
  // STG_E_MEDIUMFULL when the stream or file would exceed the format's limits.
  virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;

 protected:
  ~ISequentialStream() = default;
};

struct IStream : ISequentialStream {
  virtual HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) = 0;
  virtual HRESULT SetSize(ULARGE_INTEGER libNewSize) = 0;
  virtual HRESULT CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                         ULARGE_INTEGER* pcbWritten) = 0;  // not implemented
  virtual HRESULT Commit(DWORD grfCommitFlags) = 0;        // direct mode: S_OK
  virtual HRESULT Revert() = 0;                            // direct mode: S_OK
  virtual HRESULT LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
  virtual HRESULT UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
  virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;
  virtual HRESULT Clone(IStream** ppstm) = 0;  // not implemented

 protected:
  ~IStream() = default;
};

struct IEnumSTATSTG : IUnknown {
  // The elements of the storage as they were when the enumerator was made, in the order of
  // the format's name comparison. S_OK when celt elements were given, S_FALSE when fewer.
  virtual HRESULT Next(ULONG celt, STATSTG* rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumSTATSTG** ppenum) = 0;

 protected:
  ~IEnumSTATSTG() = default;
};

// What this layer's enumerators offer besides: the same elements without a copy of each
// name. A name handed out by NextLent points into the enumerator and stays valid while the
// enumerator lives; the caller frees none. A listing of a million names saves as many
// allocations. pcchNames, when not null, receives the length of each name in units.
struct IEnumSTATSTGLent : IUnknown {
  virtual HRESULT NextLent(ULONG celt, STATSTG* rgelt, ULONG* pcchNames, ULONG* pceltFetched) = 0;

 protected:
  ~IEnumSTATSTGLent() = default;
};
// {C7E4B38C-301D-4371-8841-EBC9B69F6D79}
inline constexpr IID IID_IEnumSTATSTGLent = {
    0xC7E4B38C, 0x301D, 0x4371, {0x88, 0x41, 0xEB, 0xC9, 0xB6, 0x9F, 0x6D, 0x79}};

struct IStorage : IUnknown {
  // STGM_CREATE replaces an element of that name of either kind; without it an existing
  // name gives STG_E_FILEALREADYEXISTS. reserved1 and reserved2 must be 0.
  virtual HRESULT CreateStream(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1,
                               DWORD reserved2, IStream** ppstm) = 0;
  // reserved1 must be null and reserved2 0. A missing name, or one that names a storage,
  // gives STG_E_FILENOTFOUND.
  virtual HRESULT OpenStream(const OLECHAR* pwcsName, void* reserved1, DWORD grfMode,
                             DWORD reserved2, IStream** ppstm) = 0;
  virtual HRESULT CreateStorage(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1,
                                DWORD reserved2, IStorage** ppstg) = 0;
  // pstgPriority and snbExclude must be null, reserved 0.
  virtual HRESULT OpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode,
                              SNB snbExclude, DWORD reserved, IStorage** ppstg) = 0;
  // Copies every element below this storage, with the storages' class ids, state bits and
  // times, into pstgDest (a storage of this layer): streams replace streams of the same name,
  // storages merge into storages of the same name. Exclusions are not supported (ciidExclude
  // must be 0, snbExclude null). On failure the elements that the copy added at the top of
  // pstgDest are removed again, so a new target file is left empty. Copying into this
  // storage or below it gives STG_E_ACCESSDENIED.
  virtual HRESULT CopyTo(DWORD ciidExclude, const IID* rgiidExclude, SNB snbExclude,
                         IStorage* pstgDest) = 0;
  virtual HRESULT MoveElementTo(const OLECHAR* pwcsName, IStorage* pstgDest,
                                const OLECHAR* pwcsNewName, DWORD grfFlags) = 0;  // not implemented
  // Direct mode: on the root, writes the file out now and reports the outcome; elsewhere S_OK.
  virtual HRESULT Commit(DWORD grfCommitFlags) = 0;
  virtual HRESULT Revert() = 0;  // direct mode: S_OK
  // reserved1 and reserved3 must be 0, reserved2 null.
  virtual HRESULT EnumElements(DWORD reserved1, void* reserved2, DWORD reserved3,
                               IEnumSTATSTG** ppenum) = 0;
  // Destroys a stream, or a storage with everything below it.
  virtual HRESULT DestroyElement(const OLECHAR* pwcsName) = 0;
  // A new name that another element has gives STG_E_FILEALREADYEXISTS; a name that differs
  // only in case renames the element to the new case.
  virtual HRESULT RenameElement(const OLECHAR* pwcsOldName, const OLECHAR* pwcsNewName) = 0;
  virtual HRESULT SetElementTimes(const OLECHAR* pwcsName, const FILETIME* pctime,
                                  const FILETIME* patime, const FILETIME* pmtime) = 0;  // not implemented
  virtual HRESULT SetClass(REFCLSID clsid) = 0;                                // not implemented
  virtual HRESULT SetStateBits(DWORD grfStateBits, DWORD grfMask) = 0;         // not implemented
  // The root's name is the file's path as it was given (for a temporary file, its path).
  virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;

 protected:
  ~IStorage() = default;
};

// Creates a compound file. grfMode must give write access and STGM_SHARE_EXCLUSIVE. An
// existing file gives STG_E_FILEALREADYEXISTS unless STGM_CREATE is given; with it the file
// is replaced when the root is released (until then it keeps its old content, and a process
// killed before that leaves it so), and a missing file appears at the path only then (a file
// made there meanwhile gives that release STG_E_FILEALREADYEXISTS). A null name makes a new file in the temporary folder
// ($TMPDIR, else /tmp), which stays after the release; Stat gives its path.
HRESULT StgCreateDocfile(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved,
                         IStorage** ppstgOpen);

// Opens a compound file. A missing file gives STG_E_FILENOTFOUND, one that is not a compound
// file STG_E_FILEALREADYEXISTS. pstgPriority and snbExclude must be null, reserved 0.
HRESULT StgOpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode,
                       SNB snbExclude, DWORD reserved, IStorage** ppstgOpen);

// S_OK for a compound file, S_FALSE (a success code) for a file that is not one,
// STG_E_FILENOTFOUND for a missing file.
HRESULT StgIsStorageFile(const OLECHAR* pwcsName);
