// The standard persistence interfaces: an object saved into and loaded from a storage or a
// stream of a compound file. IStorage and IStream are the compound-file layer's.
#pragma once

#include "wintypes.h"

struct IStorage;
struct IStream;
using LPSTREAM = IStream*;

// {0000010C-0000-0000-C000-000000000046}
inline constexpr IID IID_IPersist = {0x0000010C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0000010A-0000-0000-C000-000000000046}
inline constexpr IID IID_IPersistStorage = {0x0000010A, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {7FD52380-4E07-101B-AE2D-08002B2EC713}
inline constexpr IID IID_IPersistStreamInit = {0x7FD52380, 0x4E07, 0x101B, {0xAE, 0x2D, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13}};

struct IPersist : IUnknown {
  static constexpr const IID& kIID = IID_IPersist;
  virtual HRESULT GetClassID(CLSID* pClassID) = 0;

 protected:
  ~IPersist() = default;
};

struct IPersistStorage : IPersist {
  static constexpr const IID& kIID = IID_IPersistStorage;
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT InitNew(IStorage* pStg) = 0;
  virtual HRESULT Load(IStorage* pStg) = 0;
  virtual HRESULT Save(IStorage* pStgSave, BOOL fSameAsLoad) = 0;
  virtual HRESULT SaveCompleted(IStorage* pStgNew) = 0;
  virtual HRESULT HandsOffStorage() = 0;

 protected:
  ~IPersistStorage() = default;
};

struct IPersistStreamInit : IPersist {
  static constexpr const IID& kIID = IID_IPersistStreamInit;
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(LPSTREAM pStm) = 0;
  virtual HRESULT Save(LPSTREAM pStm, BOOL fClearDirty) = 0;
  virtual HRESULT GetSizeMax(ULARGE_INTEGER* pCbSize) = 0;
  virtual HRESULT InitNew() = 0;

 protected:
  ~IPersistStreamInit() = default;
};
