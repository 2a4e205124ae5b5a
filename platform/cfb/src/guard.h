// What the layer's own helpers beside its interface objects share with them: the guard every
// call on a file runs under, and the file and directory entry behind a storage object.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>

#include "cfb.h"
#include "docfile.h"

namespace cfb {

// Runs one call against the engine: failures become status values, and a failure after the
// call began to change the file marks the session broken, so that a half-made change is
// never written.
template <class F>
HRESULT Guard(Docfile& d, F&& f) {
  if (d.Broken()) return d.BrokenStatus();
  std::uint64_t before = d.Mutations();
  HRESULT hr;
  try {
    d.Trim();
    hr = f();
  } catch (const Failure& e) {
    if (d.Mutations() != before) d.MarkBroken(e.hr);
    hr = e.hr;
  } catch (const std::bad_alloc&) {
    if (d.Mutations() != before) d.MarkBroken(E_OUTOFMEMORY);
    hr = E_OUTOFMEMORY;
  } catch (const std::length_error&) {
    if (d.Mutations() != before) d.MarkBroken(E_OUTOFMEMORY);
    hr = E_OUTOFMEMORY;
  }
  // What was read from a page of the file that could not be read is zeros: the call fails,
  // and so does every later one, and nothing of this session is written back.
  if (d.ReadFaulted()) {
    d.MarkBroken(STG_E_READFAULT);
    return STG_E_READFAULT;
  }
  return hr;
}

// The file and the directory entry of a storage of this layer. E_NOINTERFACE for a storage
// of another kind, STG_E_REVERTED for one whose file was closed.
HRESULT StorageElement(IStorage* stg, std::shared_ptr<Docfile>* doc, EntryId* id);

}  // namespace cfb
