// IDispatch and its argument blocks, interface descriptions, and Dispatcher:
// IDispatch served from a description instead of hand-written switch code.
#pragma once

#include "com/oleauto.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::com {

inline constexpr IID IID_IDispatch = makeGuid("00020400-0000-0000-C000-000000000046");
inline constexpr IID IID_ITypeInfo = makeGuid("00020401-0000-0000-C000-000000000046");
inline constexpr IID IID_NULL = GUID_NULL;

inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;

/// The arguments of one Invoke: rgvarg holds them LAST FIRST (rgvarg[0] is
/// the last argument); named arguments come first in rgvarg with their
/// ids in rgdispidNamedArgs.
struct DISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};

/// What an automation object tells about a failure (with DISP_E_EXCEPTION).
struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT(QUORVEL_STDCALL* pfnDeferredFillIn)(EXCEPINFO*);
  SCODE scode;
};

/// Frees the strings of an EXCEPINFO and zeroes it.
QUORVEL_COM_API void clearExcepInfo(EXCEPINFO* info);

/// Type information of one described interface: names and documentation.
/// The slots follow the system's ITypeInfo, so that the system's callers
/// find the served methods where they look; the others answer E_NOTIMPL
/// and take their arguments untyped.
struct ITypeInfo : IUnknown {
  static constexpr const IID& uuid = IID_ITypeInfo;
  virtual HRESULT QUORVEL_STDCALL GetTypeAttr(void** ppTypeAttr) = 0;
  virtual HRESULT QUORVEL_STDCALL GetTypeComp(IUnknown** ppTComp) = 0;
  virtual HRESULT QUORVEL_STDCALL GetFuncDesc(UINT index, void** ppFuncDesc) = 0;
  virtual HRESULT QUORVEL_STDCALL GetVarDesc(UINT index, void** ppVarDesc) = 0;
  /// The member's name followed by its parameter names.
  virtual HRESULT QUORVEL_STDCALL GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames,
                                           UINT* pcNames) = 0;
  virtual HRESULT QUORVEL_STDCALL GetRefTypeOfImplType(UINT index, DWORD* pRefType) = 0;
  virtual HRESULT QUORVEL_STDCALL GetImplTypeFlags(UINT index, INT* pImplTypeFlags) = 0;
  /// Member ids for a member name and its parameter names (case-insensitive).
  virtual HRESULT QUORVEL_STDCALL GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames,
                                                MEMBERID* pMemId) = 0;
  virtual HRESULT QUORVEL_STDCALL Invoke(void* pvInstance, MEMBERID memid, WORD wFlags,
                                         void* pDispParams, void* pVarResult, void* pExcepInfo,
                                         UINT* puArgErr) = 0;
  /// Name and help string of a member, or of the interface for MEMBERID_NIL.
  virtual HRESULT QUORVEL_STDCALL GetDocumentation(MEMBERID memid, BSTR* pBstrName,
                                                   BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                                   BSTR* pBstrHelpFile) = 0;
  virtual HRESULT QUORVEL_STDCALL GetDllEntry(MEMBERID memid, INT invKind, BSTR* pBstrDllName,
                                              BSTR* pBstrName, WORD* pwOrdinal) = 0;
  virtual HRESULT QUORVEL_STDCALL GetRefTypeInfo(DWORD hRefType, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT QUORVEL_STDCALL AddressOfMember(MEMBERID memid, INT invKind, void** ppv) = 0;
  virtual HRESULT QUORVEL_STDCALL CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                 void** ppvObj) = 0;
  virtual HRESULT QUORVEL_STDCALL GetMops(MEMBERID memid, BSTR* pBstrMops) = 0;
  virtual HRESULT QUORVEL_STDCALL GetContainingTypeLib(IUnknown** ppTLib, UINT* pIndex) = 0;
  virtual void QUORVEL_STDCALL ReleaseTypeAttr(void* pTypeAttr) = 0;
  virtual void QUORVEL_STDCALL ReleaseFuncDesc(void* pFuncDesc) = 0;
  virtual void QUORVEL_STDCALL ReleaseVarDesc(void* pVarDesc) = 0;
};
inline constexpr MEMBERID MEMBERID_NIL = DISPID_UNKNOWN;

/// Late-bound access to an object by member names and dispatch ids.
struct IDispatch : IUnknown {
  static constexpr const IID& uuid = IID_IDispatch;
  virtual HRESULT QUORVEL_STDCALL GetTypeInfoCount(UINT* pctinfo) = 0;
  virtual HRESULT QUORVEL_STDCALL GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT QUORVEL_STDCALL GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                                LCID lcid, DISPID* rgDispId) = 0;
  virtual HRESULT QUORVEL_STDCALL Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                         DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                         EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
};

// ---- Interface descriptions ----------------------------------------------

/// One parameter. VT_VARIANT takes any value; a plain type accepts what
/// VariantChangeType turns into it; a VT_BYREF type must match exactly.
struct ParamDesc {
  std::string name{};
  VARTYPE type = VT_VARIANT;
  bool optional = false; ///< when left out, the handler sees Variant::missing()
};

enum class MemberKind : WORD {
  Method = DISPATCH_METHOD,
  PropertyGet = DISPATCH_PROPERTYGET,
  PropertyPut = DISPATCH_PROPERTYPUT,
};

/// One member. A read-write property is two members with the same name and
/// id; a property put lists the new value as its last parameter.
struct MemberDesc {
  std::string name{};
  DISPID id = 0;
  MemberKind kind = MemberKind::Method;
  std::vector<ParamDesc> params{};
  VARTYPE result = VT_EMPTY; ///< VT_EMPTY: no result
  std::string help{};
};

/// A dispatch (or dual) interface.
struct InterfaceDesc {
  std::string name{};
  IID iid{};
  std::vector<MemberDesc> members{};
  std::string help{};
  bool dual = true;
  IID base = IID_IDispatch; ///< the interface it derives from
};

// ---- Dispatcher ----------------------------------------------------------

/// The arguments of one served call in DECLARATION order (first first),
/// each converted to its declared type; a left-out optional argument is
/// Variant::missing(); a VT_BYREF parameter is the caller's variant itself.
class QUORVEL_COM_API DispArgs {
public:
  explicit DispArgs(std::vector<Variant> values) : args_(std::move(values)) {}
  size_t size() const { return args_.size(); }
  const Variant& operator[](size_t i) const { return args_.at(i); }
  bool missing(size_t i) const { return args_.at(i).isMissing(); }
  int32_t toInt(size_t i) const { return args_.at(i).toInt(); }
  bool toBool(size_t i) const { return args_.at(i).toBool(); }
  std::string toString(size_t i) const { return args_.at(i).toString(); }
  ComPtr<IDispatch> toDispatch(size_t i) const { return args_.at(i).toDispatch(); }
  /// The target of a VT_BYREF|VT_BOOL argument.
  VARIANT_BOOL* boolRef(size_t i) const;
  /// The target of a VT_BYREF|VT_ARRAY|VT_VARIANT argument.
  SAFEARRAY** arrayRef(size_t i) const;

private:
  std::vector<Variant> args_;
};

/// Runs one member; \p result is never null (a VT_EMPTY variant to fill;
/// thrown away when the caller wants no result).
/// Throwing ComError (or any exception) fails the call with DISP_E_EXCEPTION
/// and the error's code and text in EXCEPINFO.
using DispHandler = std::function<HRESULT(DispArgs& args, VARIANT* result)>;

/// Serves IDispatch for one object from an InterfaceDesc: GetIDsOfNames
/// looks member and parameter names up without regard to case, Invoke
/// finds the member by id and kind, checks the argument count
/// (DISP_E_BADPARAMCOUNT), puts the arguments in declaration order,
/// converts them (DISP_E_TYPEMISMATCH with puArgErr set; DISP_E_PARAMNOTOPTIONAL
/// for a required argument passed as missing) and calls the bound handler.
/// A handler's failure comes back as DISP_E_EXCEPTION with EXCEPINFO filled
/// when the caller passed one (else as the result itself, with the thread's
/// error info set).
/// Unknown ids give DISP_E_MEMBERNOTFOUND; members without a handler
/// E_NOTIMPL.
class QUORVEL_COM_API Dispatcher {
public:
  /// \p desc must outlive the dispatcher and the ITypeInfo objects it hands
  /// out (usually a static description).
  explicit Dispatcher(const InterfaceDesc& desc);
  ~Dispatcher();
  Dispatcher(const Dispatcher&) = delete;
  Dispatcher& operator=(const Dispatcher&) = delete;

  /// Binds the member \p name of \p kind; throws std::logic_error when the
  /// description has no such member.
  void bind(std::string_view name, MemberKind kind, DispHandler handler);
  /// Binds a method (the usual case).
  void bind(std::string_view name, DispHandler handler) {
    bind(name, MemberKind::Method, std::move(handler));
  }
  /// The source named in EXCEPINFO and error info (default: the
  /// interface's name).
  void setSource(std::string source) { source_ = std::move(source); }

  const InterfaceDesc& description() const { return desc_; }

  HRESULT GetTypeInfoCount(UINT* pctinfo);
  HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                        DISPID* rgDispId);
  HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                 DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                 UINT* puArgErr);

private:
  const MemberDesc* findMember(DISPID id, WORD flags) const;

  const InterfaceDesc& desc_;
  std::string source_;
  std::map<const MemberDesc*, DispHandler> handlers_;
};

/// A reference-counted object whose IDispatch methods are served by a
/// Dispatcher built from \p desc; derived classes bind their members in
/// their constructor through dispatcher().
template <class... Interfaces>
class DispatchObject : public Object<Interfaces...> {
public:
  HRESULT QUORVEL_STDCALL GetTypeInfoCount(UINT* pctinfo) override {
    return dispatcher_.GetTypeInfoCount(pctinfo);
  }
  HRESULT QUORVEL_STDCALL GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override {
    return dispatcher_.GetTypeInfo(iTInfo, lcid, ppTInfo);
  }
  HRESULT QUORVEL_STDCALL GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                        DISPID* rgDispId) override {
    return dispatcher_.GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
  }
  HRESULT QUORVEL_STDCALL Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                 DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                 EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
    return dispatcher_.Invoke(dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult,
                              pExcepInfo, puArgErr);
  }

protected:
  explicit DispatchObject(const InterfaceDesc& desc) : dispatcher_(desc) {}
  Dispatcher& dispatcher() { return dispatcher_; }

private:
  Dispatcher dispatcher_;
};

} // namespace quorvel::com
