// Outgoing events: connection-point interfaces and a helper that keeps the connected sinks of
// one event interface and fires events at them.
//
// A control embeds one ConnectionPoint per event interface and answers
// IConnectionPointContainer::FindConnectionPoint with it:
//
//   class CompCtl : ..., public IConnectionPointContainer {
//     xcom::ConnectionPoint events_{*this, *this, DIID__IVemraStorage};
//     HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** pp) override {
//       return xcom::FindConnectionPointIn({&events_, 1}, riid, pp);
//     }
//     void FireClick(SHORT pane) { xcom::Variant a = xcom::Variant::I2(pane); events_.Fire(1, a); }
//   };
//
// The host's sink is an IDispatch that also answers QueryInterface for the event interface's
// identifier (Advise asks for it); xcom::DispatchImpl serves it with a table of handlers.
#pragma once

#include <map>
#include <span>
#include <type_traits>

#include "wintypes.h"
#include "xcom/automation.h"
#include "xcom/com.h"

struct IConnectionPoint;
struct IConnectionPointContainer;

struct CONNECTDATA {
  IUnknown* pUnk;
  DWORD dwCookie;
};

// {B196B287-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_IEnumConnections = {0xB196B287, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
// {B196B285-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_IEnumConnectionPoints = {0xB196B285, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
// {B196B286-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_IConnectionPoint = {0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
// {B196B284-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_IConnectionPointContainer = {0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

struct IEnumConnections : IUnknown {
  static constexpr const IID& kIID = IID_IEnumConnections;
  // Each CONNECTDATA handed out holds a reference to its sink (the caller releases pUnk).
  virtual HRESULT Next(ULONG cConnections, CONNECTDATA* rgcd, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cConnections) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumConnections** ppEnum) = 0;

 protected:
  ~IEnumConnections() = default;
};

struct IEnumConnectionPoints : IUnknown {
  static constexpr const IID& kIID = IID_IEnumConnectionPoints;
  virtual HRESULT Next(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cConnections) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumConnectionPoints** ppEnum) = 0;

 protected:
  ~IEnumConnectionPoints() = default;
};

struct IConnectionPoint : IUnknown {
  static constexpr const IID& kIID = IID_IConnectionPoint;
  virtual HRESULT GetConnectionInterface(IID* pIID) = 0;
  virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
  // Connects a sink (asked for the event interface); *pdwCookie names the connection (never 0).
  // E_POINTER for null arguments, CONNECT_E_CANNOTCONNECT when the sink lacks the interface.
  virtual HRESULT Advise(IUnknown* pUnkSink, DWORD* pdwCookie) = 0;
  // CONNECT_E_NOCONNECTION for a cookie that names no connection.
  virtual HRESULT Unadvise(DWORD dwCookie) = 0;
  virtual HRESULT EnumConnections(IEnumConnections** ppEnum) = 0;

 protected:
  ~IConnectionPoint() = default;
};

struct IConnectionPointContainer : IUnknown {
  static constexpr const IID& kIID = IID_IConnectionPointContainer;
  virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) = 0;
  // CONNECT_E_NOCONNECTION when the object has no connection point for riid.
  virtual HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

namespace xcom {

// The connection point of one event interface, embedded in its object: its references are the
// object's (AddRef and Release go to the owner), so it lives as long as the object.
class ConnectionPoint final : public IConnectionPoint {
 public:
  // owner: the object's IUnknown; container: its IConnectionPointContainer; iid: the events.
  ConnectionPoint(IUnknown& owner, IConnectionPointContainer& container, const IID& iid);
  ~ConnectionPoint();
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetConnectionInterface(IID* pIID) override;
  HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
  HRESULT Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
  HRESULT Unadvise(DWORD dwCookie) override;
  HRESULT EnumConnections(IEnumConnections** ppEnum) override;

  const IID& iid() const { return iid_; }
  std::size_t size() const { return sinks_.size(); }

  // Fires one event at every sink in connection order, synchronously: Invoke(dispid, IID_NULL,
  // LOCALE_USER_DEFAULT, DISPATCH_METHOD) with args in declaration order (passed reversed).
  // The sinks are taken (and held) before the first call, so a sink may disconnect itself or
  // others, connect new ones, or fire again; a sink connected during the event gets the next
  // one. Each sink gets its own copy of the argument array; the arguments stay the caller's.
  // The sinks' answers are ignored. With no sink nothing happens. The firing object must
  // outlive the call: when a sink may release it, it holds a reference to itself meanwhile.
  void Fire(DISPID dispid, std::span<VARIANT> args);
  template <std::size_t N>
  void Fire(DISPID dispid, Variant (&args)[N]) {
    Fire(dispid, AsVariants(args));
  }
  // Fire(dispid, a, b ...) with VARIANTs or Variants, in declaration order.
  template <class... V>
    requires(sizeof...(V) > 0 && (std::is_base_of_v<VARIANT, V> && ...))
  void Fire(DISPID dispid, V&... args) {
    VARIANT list[] = {args...};
    Fire(dispid, std::span<VARIANT>(list));
  }
  // Disconnects every sink (the object going away).
  void DisconnectAll();

 private:
  IUnknown& owner_;
  IConnectionPointContainer& container_;
  IID iid_;
  DWORD nextCookie_ = 1;
  std::map<DWORD, ComPtr<IDispatch>> sinks_;  // ordered by cookie: connection order
};

// FindConnectionPoint over an object's connection points.
HRESULT FindConnectionPointIn(std::span<ConnectionPoint* const> points, REFIID riid,
                              IConnectionPoint** ppCP);

}  // namespace xcom
