// The item stream: item records encoded and decoded, made in one step, and their derived type texts.
#include "itemstream.h"

#include "namefold.h"

namespace brevix {

ItemRecord MakeItemRecord(std::u16string name, CountedString note, DWORD sizeHigh, DWORD sizeLow,
                          std::u16string typeText, FILETIME timeA, FILETIME timeB, LONG kind, double serial,
                          DWORD freeHigh, DWORD freeLow) {
  ItemRecord r;
  r.name = std::move(name);
  r.note = std::move(note);
  r.sizeHigh = sizeHigh;
  r.sizeLow = sizeLow;
  r.typeText = std::move(typeText);
  r.timeA = timeA;
  r.timeB = timeB;
  r.kind = kind;
  r.serial = serial;
  r.freeHigh = freeHigh;
  r.freeLow = freeLow;
  r.recordVersion = 1.0;
  return r;
}

std::vector<BYTE> EncodeItemRecord(const ItemRecord& r) {
  std::vector<BYTE> out;
  out.reserve(64 + 2 * ((r.note ? r.note->size() : 0) + r.typeText.size()));
  ByteWriter w(out);
  w.F64(1.0);
  w.U32(r.sizeHigh);
  w.U32(r.sizeLow);
  w.U32(r.timeA.dwLowDateTime);
  w.U32(r.timeA.dwHighDateTime);
  w.U32(r.timeB.dwLowDateTime);
  w.U32(r.timeB.dwHighDateTime);
  if (r.kind == ItemDisk) {
    w.F64(r.serial);
    w.U32(r.freeHigh);
    w.U32(r.freeLow);
    w.Counted(std::u16string_view(r.typeText));
  }
  w.Counted(r.note);
  return out;
}

HRESULT DecodeItemRecord(const BYTE* data, size_t size, ItemRecord& r) {
  ByteReader rd(data, size);
  double version;
  DWORD sh, sl;
  FILETIME a, b;
  if (!rd.F64(version) || !rd.U32(sh) || !rd.U32(sl) || !rd.U32(a.dwLowDateTime) || !rd.U32(a.dwHighDateTime) ||
      !rd.U32(b.dwLowDateTime) || !rd.U32(b.dwHighDateTime)) {
    return E_FAIL;
  }
  double serial = r.serial;
  DWORD fh = r.freeHigh, fl = r.freeLow;
  CountedString type;
  if (r.kind == ItemDisk) {
    if (!rd.F64(serial) || !rd.U32(fh) || !rd.U32(fl) || !rd.Counted(type)) return E_FAIL;
  }
  CountedString note;
  if (!rd.Counted(note)) return E_FAIL;

  r.recordVersion = 1.0;  // read back and ignored
  r.sizeHigh = sh;
  r.sizeLow = sl;
  r.timeA = a;
  r.timeB = b;
  if (r.kind == ItemDisk) {
    r.serial = serial;
    r.freeHigh = fh;
    r.freeLow = fl;
    r.typeText = type ? std::move(*type) : std::u16string();
  }
  r.note = std::move(note);
  return S_OK;
}

void DeriveTypeText(ItemRecord& r) {
  if (r.kind == ItemDisk) return;
  if (r.kind == ItemFolder) {
    r.typeText = u"File Folder";
    return;
  }
  size_t dot = r.name.rfind(u'.');
  if (dot == std::u16string::npos) {
    r.typeText = u"File";
    return;
  }
  std::u16string t;
  AppendFolded(std::u16string_view(r.name).substr(dot + 1), t);
  t += u" File";
  r.typeText = std::move(t);
}

}  // namespace brevix
