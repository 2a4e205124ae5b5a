// The table-driven IDispatch: a class declares each member once (name, dispatch id, kind and
// typed parameters), and the table answers GetIDsOfNames and Invoke for it.
//
//   // in the class:  static const xcom::DispatchTable<CompCtl>& GetDispatchTable();
//   const xcom::DispatchTable<CompCtl>& CompCtl::GetDispatchTable() {
//     using M = xcom::Member<CompCtl>;
//     using xcom::In; using xcom::Retval;
//     static const xcom::DispatchTable<CompCtl> table{
//       M::PropertyGet<&ICompCtl::get_DocFileName>("DocFileName", 1),
//       M::PropertyPut<&ICompCtl::put_DocFileName>("DocFileName", 1),
//       M::Method<&ICompCtl::FindItem>("FindItem", 3,
//           {In(VT_BSTR), In(VT_BSTR), In(VT_BSTR), In(VT_I4), In(VT_DATE), In(VT_DATE),
//            In(VT_I2), In(VT_I4)}),
//       M::Method<&ICompCtl::BrowseForFolder>("BrowseForFolder", 15,
//           {In(VT_BSTR), Retval(VT_BSTR)}),
//     };
//     return table;
//   }
//   class CompCtl : public xcom::DispatchImpl<CompCtl, ICompCtl>, ... { ... };
//
// Parameter types come from the member function's signature: SHORT is VT_I2, LONG (and INT,
// enums) VT_I4, USHORT VT_UI2, ULONG VT_UI4, BYTE VT_UI1, signed char VT_I1, float VT_R4,
// double VT_R8, CY VT_CY, BSTR VT_BSTR, VARIANT VT_VARIANT, an interface pointer VT_DISPATCH
// (VT_UNKNOWN when it is not a dispatch interface): these are in parameters. A pointer to one
// of them is an out parameter; for a property get the last one is the return value. Where the
// signature cannot tell (VT_DATE and VT_R8 are both double, VT_BOOL and VT_I2 both SHORT, a
// method's return value), the member lists its parameters explicitly; the list is checked
// against the signature when the program is compiled.
//
// Invoke:
// - finds the member by dispatch id and the call's flags (a method, else a property get, for
//   DISPATCH_METHOD|DISPATCH_PROPERTYGET; the put or put-by-reference for those flags);
// - takes the arguments in reverse order (rgvarg[cArgs-1] is the first parameter); a property
//   put's value is the named argument DISPID_PROPERTYPUT; other named arguments are refused
//   (DISP_E_NONAMEDARGS); a wrong count gives DISP_E_BADPARAMCOUNT;
// - converts each in argument to its parameter's type (VariantChangeType, reading through a
//   by-reference argument); a failure answers DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW with
//   *puArgErr the argument's index in rgvarg;
// - an out parameter needs a by-reference argument of its type or of VT_VARIANT; the member
//   starts from an empty value (an in/out parameter from a copy of the caller's value); only when the member succeeds is the caller's old value freed
//   and replaced, so a failing member leaves the caller's variables as they were;
// - the return value goes to pVarResult (made empty first);
// - a failing member gives DISP_E_EXCEPTION with the member's status in pExcepInfo->scode
//   (without pExcepInfo, the member's status itself); a succeeding member's own status
//   (S_OK, S_FALSE or another success value) is Invoke's answer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

#include "wintypes.h"
#include "xcom/automation.h"
#include "xcom/com.h"

namespace xcom {

enum class MemberKind : std::uint8_t { Method, PropertyGet, PropertyPut, PropertyPutRef };
enum class ParamDir : std::uint8_t { In, Out, Retval, InOut };

struct ParamSpec {
  VARTYPE vt = VT_EMPTY;
  ParamDir dir = ParamDir::In;
};
constexpr ParamSpec In(VARTYPE vt) { return {vt, ParamDir::In}; }
constexpr ParamSpec Out(VARTYPE vt) { return {vt, ParamDir::Out}; }
constexpr ParamSpec Retval(VARTYPE vt) { return {vt, ParamDir::Retval}; }
// An in/out parameter (a by-reference argument the member may leave as it was): the member
// starts from a copy of the caller's value, and on success its value replaces the caller's.
constexpr ParamSpec InOut(VARTYPE vt) { return {vt, ParamDir::InOut}; }

inline constexpr std::size_t kMaxDispatchParams = 16;

// One Invoke call's arguments, as the member thunks see them.
class InvokeFrame {
 public:
  InvokeFrame(const ParamSpec* params, DISPPARAMS* dp, VARIANT* result)
      : params_(params), dp_(dp), result_(result) {}

  const ParamSpec& Spec(UINT i) const { return params_[i]; }
  // An in parameter: the argument converted to the parameter's type into *out (empty before).
  HRESULT LoadIn(UINT i, VARIANT* out);
  // An out parameter or the return value: checks that the caller gave a place for it.
  HRESULT CheckOut(UINT i);
  // Hands *value (of the parameter's type) to the caller's place, taking over what it owns.
  void StoreOut(UINT i, VARIANT* value);
  // Reports a bad argument found by a thunk (an interface the argument does not offer).
  HRESULT ArgumentError(UINT i, HRESULT hr);

  bool argumentFailed() const { return argFailed_; }
  UINT failedArgument() const { return argErr_; }

 private:
  VARIANT* Arg(UINT i) const;

  const ParamSpec* params_;
  DISPPARAMS* dp_;
  VARIANT* result_;
  bool argFailed_ = false;
  UINT argErr_ = 0;
};

// One declared member. Made by Member<C>::Method/PropertyGet/PropertyPut/PropertyPutRef.
struct DispatchMemberDef {
  const char* name = nullptr;
  DISPID dispid = 0;
  MemberKind kind = MemberKind::Method;
  std::uint8_t paramCount = 0;
  std::array<ParamSpec, kMaxDispatchParams> params{};
  HRESULT (*thunk)(void* self, InvokeFrame& frame) = nullptr;
};

template <class C>
struct TypedMemberDef {
  DispatchMemberDef def;
};

// The members of one class, indexed by dispatch id and by name (letter case ignored).
class DispatchTableCore {
 public:
  // A table whose declarations contradict each other (one name with two dispatch ids, a
  // dispatch id with two names, a kind declared twice for one id) is a programming error:
  // the process stops with a message naming the member.
  explicit DispatchTableCore(std::span<const DispatchMemberDef> members);
  ~DispatchTableCore();
  DispatchTableCore(const DispatchTableCore&) = delete;
  DispatchTableCore& operator=(const DispatchTableCore&) = delete;

  // rgszNames[0] is a member name; further names (parameter names) are not known and give
  // DISPID_UNKNOWN with DISP_E_UNKNOWNNAME. riid must be IID_NULL.
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                        DISPID* rgDispId) const;
  HRESULT Invoke(void* self, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                 DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                 UINT* puArgErr) const;

 private:
  struct Index;
  std::unique_ptr<Index> index_;
};

template <class C>
class DispatchTable : public DispatchTableCore {
 public:
  DispatchTable(std::initializer_list<TypedMemberDef<C>> members)
      : DispatchTableCore(Defs(members)) {}

 private:
  static std::span<const DispatchMemberDef> Defs(std::initializer_list<TypedMemberDef<C>> m) {
    static_assert(sizeof(TypedMemberDef<C>) == sizeof(DispatchMemberDef));
    return {reinterpret_cast<const DispatchMemberDef*>(m.begin()), m.size()};
  }
};

// IDispatch's type information members, for an interface I derived from IDispatch: no type
// information is served.
template <class I>
class NoTypeInfo : public I {
 public:
  HRESULT GetTypeInfoCount(UINT* pctinfo) override {
    if (!pctinfo) return E_INVALIDARG;
    *pctinfo = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
    if (ppTInfo) *ppTInfo = nullptr;
    return DISP_E_BADINDEX;
  }

 protected:
  ~NoTypeInfo() = default;
};

// IDispatch for class C through its interface I (derived from IDispatch): C provides
//   static const xcom::DispatchTable<C>& GetDispatchTable();
template <class C, class I>
class DispatchImpl : public NoTypeInfo<I> {
 public:
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                        DISPID* rgDispId) override {
    return C::GetDispatchTable().GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
  }
  HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
    return C::GetDispatchTable().Invoke(static_cast<void*>(static_cast<C*>(this)), dispIdMember,
                                        riid, lcid, wFlags, pDispParams, pVarResult, pExcepInfo,
                                        puArgErr);
  }

 protected:
  ~DispatchImpl() = default;
};

// IDispatch of an object that is driven through its vtable alone (a host's stand-in for a
// component, an event sink that takes Invoke itself): no type information, and no members by
// name or dispatch id unless the class overrides Invoke.
template <class I>
class VtableOnlyDispatch : public NoTypeInfo<I> {
 public:
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }

 protected:
  ~VtableOnlyDispatch() = default;
};

// Calls a dispatch member from C++: args in declaration order (they are passed reversed); for
// DISPATCH_PROPERTYPUT/PUTREF the last one is the value and goes as the named argument.
// The arguments stay the caller's. pResult and pExcepInfo may be null.
HRESULT CallDispatch(IDispatch* target, DISPID dispid, WORD flags, std::span<VARIANT> args,
                     VARIANT* pResult = nullptr, EXCEPINFO* pExcepInfo = nullptr);
template <std::size_t N>
HRESULT CallDispatch(IDispatch* target, DISPID dispid, WORD flags, Variant (&args)[N], VARIANT* pResult = nullptr,
                     EXCEPINFO* pExcepInfo = nullptr) {
  return CallDispatch(target, dispid, flags, AsVariants(args), pResult, pExcepInfo);
}

// Frees the strings of an EXCEPINFO and zeroes it.
void ClearExcepInfo(EXCEPINFO* info);

// ---------------------------------------------------------------------------------------------
// Member declarations (details below)

namespace dispatch_detail {

template <class F>
struct FnTraits;
template <class R, class B, class... A>
struct FnTraits<R (B::*)(A...)> {
  using Result = R;
  using Class = B;
  using Args = std::tuple<A...>;
  static constexpr std::size_t N = sizeof...(A);
};
template <class R, class B, class... A>
struct FnTraits<R (B::*)(A...) noexcept> : FnTraits<R (B::*)(A...)> {};

template <class T>
inline constexpr bool kIsInterface = std::is_class_v<T> && std::is_base_of_v<IUnknown, T>;

template <class T>
struct IsInterfacePtr : std::false_type {};
template <class I>
struct IsInterfacePtr<I*> : std::bool_constant<kIsInterface<I>> {};

template <class T>
struct Pointee {
  using type = void;
};
template <class T>
struct Pointee<T*> {
  using type = T;
};

template <class T>
constexpr bool Fits(VARTYPE vt) {
  if constexpr (std::is_enum_v<T>) {
    return Fits<std::underlying_type_t<T>>(vt);
  } else if constexpr (std::is_same_v<T, SHORT>) {
    return vt == VT_I2 || vt == VT_BOOL;
  } else if constexpr (std::is_same_v<T, LONG>) {
    return vt == VT_I4 || vt == VT_INT || vt == VT_ERROR;
  } else if constexpr (std::is_same_v<T, USHORT>) {
    return vt == VT_UI2;
  } else if constexpr (std::is_same_v<T, ULONG>) {
    return vt == VT_UI4 || vt == VT_UINT;
  } else if constexpr (std::is_same_v<T, BYTE>) {
    return vt == VT_UI1;
  } else if constexpr (std::is_same_v<T, signed char> || std::is_same_v<T, char>) {
    return vt == VT_I1;
  } else if constexpr (std::is_same_v<T, float>) {
    return vt == VT_R4;
  } else if constexpr (std::is_same_v<T, double>) {
    return vt == VT_R8 || vt == VT_DATE;
  } else if constexpr (std::is_same_v<T, CY>) {
    return vt == VT_CY;
  } else if constexpr (std::is_same_v<T, BSTR>) {
    return vt == VT_BSTR;
  } else if constexpr (std::is_same_v<T, VARIANT>) {
    return vt == VT_VARIANT;
  } else if constexpr (IsInterfacePtr<T>::value) {
    using I = typename Pointee<T>::type;
    return vt == VT_UNKNOWN || (vt == VT_DISPATCH && std::is_base_of_v<IDispatch, I>);
  } else {
    return false;
  }
}

template <class T>
constexpr VARTYPE DefaultVt() {
  if constexpr (std::is_enum_v<T>) {
    return DefaultVt<std::underlying_type_t<T>>();
  } else if constexpr (std::is_same_v<T, SHORT>) {
    return VT_I2;
  } else if constexpr (std::is_same_v<T, LONG>) {
    return VT_I4;
  } else if constexpr (std::is_same_v<T, USHORT>) {
    return VT_UI2;
  } else if constexpr (std::is_same_v<T, ULONG>) {
    return VT_UI4;
  } else if constexpr (std::is_same_v<T, BYTE>) {
    return VT_UI1;
  } else if constexpr (std::is_same_v<T, signed char> || std::is_same_v<T, char>) {
    return VT_I1;
  } else if constexpr (std::is_same_v<T, float>) {
    return VT_R4;
  } else if constexpr (std::is_same_v<T, double>) {
    return VT_R8;
  } else if constexpr (std::is_same_v<T, CY>) {
    return VT_CY;
  } else if constexpr (std::is_same_v<T, BSTR>) {
    return VT_BSTR;
  } else if constexpr (std::is_same_v<T, VARIANT>) {
    return VT_VARIANT;
  } else if constexpr (IsInterfacePtr<T>::value) {
    using I = typename Pointee<T>::type;
    return std::is_base_of_v<IDispatch, I> ? VARTYPE(VT_DISPATCH) : VARTYPE(VT_UNKNOWN);
  } else {
    return VT_EMPTY;
  }
}

// A type that travels by value as an in parameter (bool, 64-bit integers and other types
// have no variant form here).
template <class T>
inline constexpr bool kIsValue = DefaultVt<T>() != VT_EMPTY;

template <class A>
constexpr bool FitsParam(ParamSpec spec) {
  if (spec.dir == ParamDir::In) {
    if constexpr (kIsValue<A>) return Fits<A>(spec.vt);
    return false;
  } else {
    if constexpr (std::is_pointer_v<A> && !kIsValue<A>) {
      using P = typename Pointee<A>::type;
      if constexpr (kIsValue<P>) return Fits<P>(spec.vt);
    }
    return false;
  }
}

template <class A>
constexpr ParamSpec DefaultSpec(bool lastOfGet) {
  if constexpr (kIsValue<A>) {
    return In(DefaultVt<A>());
  } else if constexpr (std::is_pointer_v<A>) {
    using P = typename Pointee<A>::type;
    static_assert(kIsValue<P>, "a dispatch member parameter has a type that cannot travel in a variant");
    return lastOfGet ? Retval(DefaultVt<P>()) : Out(DefaultVt<P>());
  } else {
    static_assert(kIsValue<A>, "a dispatch member parameter has a type that cannot travel in a variant");
    return {};
  }
}

// Argument slots: hold a converted in argument or an out value for the duration of the call.
template <class T>
struct Slot {  // scalars by value
  T value{};
  HRESULT Load(InvokeFrame& f, UINT i) {
    Variant v;
    HRESULT hr = f.LoadIn(i, &v);
    if (SUCCEEDED(hr)) std::memcpy(&value, &v.llVal, sizeof(T));
    return hr;
  }
  T Arg() { return value; }
  void Store(InvokeFrame&, UINT) {}
};

template <>
struct Slot<BSTR> {
  Variant v;
  HRESULT Load(InvokeFrame& f, UINT i) { return f.LoadIn(i, &v); }
  BSTR Arg() { return v.bstrVal; }
  void Store(InvokeFrame&, UINT) {}
};

template <>
struct Slot<VARIANT> {
  Variant v;
  HRESULT Load(InvokeFrame& f, UINT i) { return f.LoadIn(i, &v); }
  VARIANT Arg() { return v; }
  void Store(InvokeFrame&, UINT) {}
};

template <class I>
  requires kIsInterface<I>
struct Slot<I*> {  // an interface in parameter
  ComPtr<I> p;
  HRESULT Load(InvokeFrame& f, UINT i) {
    Variant v;
    HRESULT hr = f.LoadIn(i, &v);
    if (FAILED(hr)) return hr;
    if (v.punkVal && FAILED(v.punkVal->QueryInterface(IidOf<I>(), p.ReleaseAndGetAddressOfVoid())))
      return f.ArgumentError(i, DISP_E_TYPEMISMATCH);
    return S_OK;
  }
  I* Arg() { return p.Get(); }
  void Store(InvokeFrame&, UINT) {}
};

template <class P>
struct OutSlot {  // out of a scalar, BSTR or VARIANT: the value lives in a variant of its type
  Variant v;
  HRESULT Load(InvokeFrame& f, UINT i) {
    HRESULT hr = f.CheckOut(i);
    if (SUCCEEDED(hr) && f.Spec(i).dir == ParamDir::InOut) return f.LoadIn(i, &v);
    if constexpr (!std::is_same_v<P, VARIANT>) {
      v.llVal = 0;
      if (SUCCEEDED(hr)) v.vt = f.Spec(i).vt;
    }
    return hr;
  }
  P* Arg() {
    if constexpr (std::is_same_v<P, VARIANT>) {
      return &v;
    } else {
      return reinterpret_cast<P*>(&v.llVal);
    }
  }
  void Store(InvokeFrame& f, UINT i) { f.StoreOut(i, &v); }
};

template <class I>
struct OutInterfaceSlot {  // out of an interface pointer
  I* p = nullptr;
  ~OutInterfaceSlot() {
    if (p) p->Release();
  }
  HRESULT Load(InvokeFrame& f, UINT i) { return f.CheckOut(i); }
  I** Arg() { return &p; }
  void Store(InvokeFrame& f, UINT i) {
    Variant v;
    if (f.Spec(i).vt == VT_DISPATCH) {
      if constexpr (std::is_base_of_v<IDispatch, I>) v.pdispVal = static_cast<IDispatch*>(p);
    } else {
      v.punkVal = static_cast<IUnknown*>(p);
    }
    v.vt = f.Spec(i).vt;
    p = nullptr;
    f.StoreOut(i, &v);
  }
};

template <class P>
struct Slot<P*> : std::conditional_t<IsInterfacePtr<P>::value, OutInterfaceSlot<typename Pointee<P>::type>,
                                     OutSlot<P>> {};

template <class C, auto Fn, class... A, std::size_t... I>
HRESULT CallMember(C* self, InvokeFrame& f, std::tuple<A...>*, std::index_sequence<I...>) {
  std::tuple<Slot<A>...> argSlots;  // not "slots", a word Qt takes for itself
  HRESULT hr = S_OK;
  ((SUCCEEDED(hr) ? (hr = std::get<I>(argSlots).Load(f, static_cast<UINT>(I)), 0) : 0), ...);
  if (FAILED(hr)) return hr;
  hr = (self->*Fn)(std::get<I>(argSlots).Arg()...);
  if (SUCCEEDED(hr)) (std::get<I>(argSlots).Store(f, static_cast<UINT>(I)), ...);
  return hr;
}

template <class C, auto Fn>
HRESULT Thunk(void* self, InvokeFrame& frame) {
  using Tr = FnTraits<decltype(Fn)>;
  return CallMember<C, Fn>(static_cast<C*>(self), frame, static_cast<typename Tr::Args*>(nullptr),
                           std::make_index_sequence<Tr::N>{});
}

template <class C, auto Fn, class... A, std::size_t... I>
consteval DispatchMemberDef Declare(const char* name, DISPID id, MemberKind kind,
                                    std::initializer_list<ParamSpec> spec, std::tuple<A...>*,
                                    std::index_sequence<I...>) {
  using Tr = FnTraits<decltype(Fn)>;
  static_assert(std::is_same_v<typename Tr::Result, HRESULT>, "a dispatch member returns HRESULT");
  static_assert(std::is_base_of_v<typename Tr::Class, C>, "a dispatch member belongs to the class or a base");
  constexpr std::size_t n = sizeof...(A);
  static_assert(n <= kMaxDispatchParams, "too many parameters for a dispatch member");
  const bool isPut = kind == MemberKind::PropertyPut || kind == MemberKind::PropertyPutRef;

  DispatchMemberDef d;
  d.name = name;
  d.dispid = id;
  d.kind = kind;
  d.paramCount = static_cast<std::uint8_t>(n);
  d.thunk = &Thunk<C, Fn>;
  if (name == nullptr || *name == '\0') throw "a dispatch member needs a name";
  if (spec.size() != 0) {
    if (spec.size() != n) throw "the parameter list of a dispatch member does not match its function";
    ((d.params[I] = spec.begin()[I]), ...);
    const bool fits = (FitsParam<A>(spec.begin()[I]) && ... && true);
    if (!fits) throw "a parameter type of a dispatch member does not match its function";
  } else {
    ((d.params[I] = DefaultSpec<A>(kind == MemberKind::PropertyGet && I + 1 == n)), ...);
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (d.params[i].dir == ParamDir::Retval && i + 1 != n)
      throw "only the last parameter of a dispatch member can be its return value";
    if (isPut && d.params[i].dir != ParamDir::In) throw "a property put takes in parameters only";
  }
  if (isPut && n == 0) throw "a property put takes its value as a parameter";
  return d;
}

}  // namespace dispatch_detail

// The declarations of class C's members (Fn: a member function of C or of a base of C, such as
// the dual interface's method).
template <class C>
struct Member {
  template <auto Fn>
  static consteval TypedMemberDef<C> Method(const char* name, DISPID id,
                                            std::initializer_list<ParamSpec> params = {}) {
    return Make<Fn>(name, id, MemberKind::Method, params);
  }
  template <auto Fn>
  static consteval TypedMemberDef<C> PropertyGet(const char* name, DISPID id,
                                                 std::initializer_list<ParamSpec> params = {}) {
    return Make<Fn>(name, id, MemberKind::PropertyGet, params);
  }
  template <auto Fn>
  static consteval TypedMemberDef<C> PropertyPut(const char* name, DISPID id,
                                                 std::initializer_list<ParamSpec> params = {}) {
    return Make<Fn>(name, id, MemberKind::PropertyPut, params);
  }
  template <auto Fn>
  static consteval TypedMemberDef<C> PropertyPutRef(const char* name, DISPID id,
                                                    std::initializer_list<ParamSpec> params = {}) {
    return Make<Fn>(name, id, MemberKind::PropertyPutRef, params);
  }

 private:
  template <auto Fn>
  static consteval TypedMemberDef<C> Make(const char* name, DISPID id, MemberKind kind,
                                          std::initializer_list<ParamSpec> params) {
    using Args = typename dispatch_detail::FnTraits<decltype(Fn)>::Args;
    return {dispatch_detail::Declare<C, Fn>(
        name, id, kind, params, static_cast<Args*>(nullptr),
        std::make_index_sequence<std::tuple_size_v<Args>>{})};
  }
};

}  // namespace xcom
