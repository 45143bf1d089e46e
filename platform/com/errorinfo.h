// Error information per thread (SetErrorInfo/GetErrorInfo), and ComError:
// a failure result carried as a C++ exception.
#pragma once

#include "com/unknown.h"

#include <stdexcept>
#include <string>

namespace quorvel::com {

using BSTR = OLECHAR*;

inline constexpr IID IID_IErrorInfo = makeGuid("1CF2B120-547D-101B-8E65-08002B2BD119");
inline constexpr IID IID_ICreateErrorInfo = makeGuid("22F03340-547D-101B-8E65-08002B2BD119");
inline constexpr IID IID_ISupportErrorInfo = makeGuid("DF0B3D60-548F-101B-8E65-08002B2BD119");

/// The description of the last failure.
struct IErrorInfo : IUnknown {
  static constexpr const IID& uuid = IID_IErrorInfo;
  virtual HRESULT QUORVEL_STDCALL GetGUID(GUID* pGUID) = 0;
  virtual HRESULT QUORVEL_STDCALL GetSource(BSTR* pBstrSource) = 0;
  virtual HRESULT QUORVEL_STDCALL GetDescription(BSTR* pBstrDescription) = 0;
  virtual HRESULT QUORVEL_STDCALL GetHelpFile(BSTR* pBstrHelpFile) = 0;
  virtual HRESULT QUORVEL_STDCALL GetHelpContext(DWORD* pdwHelpContext) = 0;
};

/// Fills an error object made by CreateErrorInfo.
struct ICreateErrorInfo : IUnknown {
  static constexpr const IID& uuid = IID_ICreateErrorInfo;
  virtual HRESULT QUORVEL_STDCALL SetGUID(REFGUID rguid) = 0;
  virtual HRESULT QUORVEL_STDCALL SetSource(LPOLESTR szSource) = 0;
  virtual HRESULT QUORVEL_STDCALL SetDescription(LPOLESTR szDescription) = 0;
  virtual HRESULT QUORVEL_STDCALL SetHelpFile(LPOLESTR szHelpFile) = 0;
  virtual HRESULT QUORVEL_STDCALL SetHelpContext(DWORD dwHelpContext) = 0;
};

/// Tells whether an interface of the object sets error information.
struct ISupportErrorInfo : IUnknown {
  static constexpr const IID& uuid = IID_ISupportErrorInfo;
  virtual HRESULT QUORVEL_STDCALL InterfaceSupportsErrorInfo(REFIID riid) = 0;
};

/// A new, empty error object (it also answers IErrorInfo).
QUORVEL_COM_API HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo);
/// Makes \p perrinfo (may be NULL) the calling thread's error object,
/// replacing and releasing any earlier one.
QUORVEL_COM_API HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
/// Hands out the calling thread's error object and clears it: S_OK, or
/// S_FALSE with NULL when there is none.
QUORVEL_COM_API HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);

/// Sets the thread's error object from texts (UTF-8); returns \p hr so that
/// a failing operation can end with `return setErrorInfo(...)`.
QUORVEL_COM_API HRESULT setErrorInfo(HRESULT hr, const std::string& description,
                                     const std::string& source, REFGUID iid = GUID_NULL);

/// A failure result raised as an exception, with the description and
/// source of the failure when known.
class QUORVEL_COM_API ComError : public std::runtime_error {
public:
  /// \p description empty: hresultText(hr) is the message.
  explicit ComError(HRESULT hr, const std::string& description = {},
                    const std::string& source = {});
  ~ComError() override;

  HRESULT hr() const { return hr_; }
  const std::string& description() const { return description_; }
  const std::string& source() const { return source_; }

private:
  HRESULT hr_;
  std::string description_;
  std::string source_;
};

/// Throws ComError for a failure result, taking description and source
/// from the thread's error object when there is one; does nothing for
/// success results.
QUORVEL_COM_API void checkResult(HRESULT hr);

/// For the catch (...) of an operation that returns a result code: sets
/// the thread's error object from the exception being handled (its message
/// as description, \p source as source) and returns the result to give
/// back: a ComError's code, E_OUTOFMEMORY for std::bad_alloc, otherwise
/// E_UNEXPECTED.
QUORVEL_COM_API HRESULT handleSafeCallException(const std::string& source,
                                                REFGUID iid = GUID_NULL);

} // namespace quorvel::com
