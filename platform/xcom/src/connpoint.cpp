// Connection points: the sinks of one event interface, their cookies, and firing.
#include "xcom/connpoint.h"

#include "xcom/object.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <vector>

namespace xcom {

namespace {

// A snapshot of the connections, for IConnectionPoint::EnumConnections.
class ConnectionEnum final : public wintypes::SnapshotEnumerator<ConnectionEnum, IEnumConnections> {
 public:
  struct Entry {
    ComPtr<IUnknown> sink;
    DWORD cookie;
  };
  explicit ConnectionEnum(std::vector<Entry> entries) : entries_(std::move(entries)) {}

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    bool known = riid == IID_IUnknown || riid == IID_IEnumConnections;
    return AnswerQuery(known ? static_cast<IEnumConnections*>(this) : nullptr, this, ppv);
  }
  HRESULT Next(ULONG count, CONNECTDATA* out, ULONG* fetched) override {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    for (; n < count && pos_ < entries_.size(); ++n, ++pos_) {
      out[n].pUnk = entries_[pos_].sink.Get();
      out[n].pUnk->AddRef();
      out[n].dwCookie = entries_[pos_].cookie;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  std::size_t ItemCount() const { return entries_.size(); }

 private:
  std::vector<Entry> entries_;
};

}  // namespace

ConnectionPoint::ConnectionPoint(IUnknown& owner, IConnectionPointContainer& container, const IID& iid)
    : owner_(owner), container_(container), iid_(iid) {}

ConnectionPoint::~ConnectionPoint() = default;

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
  bool known = riid == IID_IUnknown || riid == IID_IConnectionPoint;
  return AnswerQuery(known ? static_cast<IConnectionPoint*>(this) : nullptr, this, ppv);
}

ULONG ConnectionPoint::AddRef() { return owner_.AddRef(); }

ULONG ConnectionPoint::Release() { return owner_.Release(); }

HRESULT ConnectionPoint::GetConnectionInterface(IID* pIID) {
  if (!pIID) return E_POINTER;
  *pIID = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
  if (!ppCPC) return E_POINTER;
  container_.AddRef();
  *ppCPC = &container_;
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
  if (!pdwCookie) return E_POINTER;
  *pdwCookie = 0;
  if (!pUnkSink) return E_POINTER;
  ComPtr<IDispatch> sink;
  // The event interface is a dispatch interface: what the sink answers for it is an IDispatch.
  if (FAILED(pUnkSink->QueryInterface(iid_, sink.ReleaseAndGetAddressOfVoid())) || !sink)
    return CONNECT_E_CANNOTCONNECT;
  if (sinks_.size() >= 0xFFFFFFFEu) return CONNECT_E_ADVISELIMIT;
  while (nextCookie_ == 0 || sinks_.count(nextCookie_)) ++nextCookie_;
  DWORD cookie = nextCookie_++;
  try {
    sinks_.emplace(cookie, std::move(sink));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  *pdwCookie = cookie;
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD dwCookie) {
  auto it = sinks_.find(dwCookie);
  if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
  // The sink goes after the entry is gone, so that its release may re-enter.
  ComPtr<IDispatch> sink = std::move(it->second);
  sinks_.erase(it);
  return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  try {
    std::vector<ConnectionEnum::Entry> entries;
    entries.reserve(sinks_.size());
    for (const auto& [cookie, sink] : sinks_) entries.push_back({ComPtr<IUnknown>(sink.Get()), cookie});
    auto* e = new ConnectionEnum(std::move(entries));
    e->AddRef();
    *ppEnum = e;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

void ConnectionPoint::Fire(DISPID dispid, std::span<VARIANT> args) {
  if (sinks_.empty()) return;
  std::vector<ComPtr<IDispatch>> targets;
  targets.reserve(sinks_.size());
  for (const auto& entry : sinks_) targets.push_back(entry.second);
  std::vector<VARIANT> reversed(args.size());
  for (const ComPtr<IDispatch>& sink : targets) {
    // A fresh copy per sink: what one sink does to its array does not reach the next.
    std::copy(args.rbegin(), args.rend(), reversed.begin());
    DISPPARAMS dp{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    UINT argErr = 0;
    sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, nullptr, nullptr, &argErr);
  }
}

void ConnectionPoint::DisconnectAll() {
  std::map<DWORD, ComPtr<IDispatch>> gone;
  gone.swap(sinks_);
}

HRESULT FindConnectionPointIn(std::span<ConnectionPoint* const> points, REFIID riid, IConnectionPoint** ppCP) {
  if (!ppCP) return E_POINTER;
  *ppCP = nullptr;
  for (ConnectionPoint* cp : points) {
    if (cp && cp->iid() == riid) {
      cp->AddRef();
      *ppCP = cp;
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

}  // namespace xcom
