// Automation data: BSTR, VARIANT, SAFEARRAY and DATE, with Win32 call shapes,
// plus owning C++ wrappers (Bstr, Variant).
#pragma once

#include "com/unknown.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace quorvel::com {

struct IDispatch;

// ---- BSTR ----------------------------------------------------------------

/// A 16-bit string whose allocation starts four bytes before the pointer
/// with its length in bytes; always terminated; NULL counts as empty.
using BSTR = OLECHAR*;

/// A copy of the terminated string \p psz (NULL gives NULL).
QUORVEL_COM_API BSTR SysAllocString(const OLECHAR* psz);
/// \p ui characters from \p strIn (which may be NULL: left zeroed); the
/// text may hold zero characters.
QUORVEL_COM_API BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
/// Frees a BSTR; NULL is accepted.
QUORVEL_COM_API void SysFreeString(BSTR bstrString);
/// The length in characters (0 for NULL).
QUORVEL_COM_API UINT SysStringLen(BSTR pbstr);
/// The length in bytes (0 for NULL).
QUORVEL_COM_API UINT SysStringByteLen(BSTR bstr);
/// Replaces *\p pbstr by a copy of \p psz; FALSE when out of memory.
QUORVEL_COM_API INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz);

/// A new BSTR holding the UTF-8 text \p s.
QUORVEL_COM_API BSTR bstrFromUtf8(const std::string& s);
/// The BSTR's text (all SysStringLen characters) as UTF-8.
QUORVEL_COM_API std::string bstrToUtf8(BSTR b);
/// The BSTR's text as a 16-bit string.
QUORVEL_COM_API std::u16string bstrToU16(BSTR b);

// ---- SAFEARRAY (one dimension, VARIANT elements) -------------------------

using VARTYPE = uint16_t;

struct SAFEARRAYBOUND {
  ULONG cElements;
  LONG lLbound;
};

struct SAFEARRAY {
  USHORT cDims;
  USHORT fFeatures;
  ULONG cbElements;
  ULONG cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];
};

inline constexpr USHORT FADF_VARIANT = 0x0800;

/// A one-dimensional array; only VT_VARIANT elements are supported (NULL
/// for any other element type or \p cDims other than 1).
QUORVEL_COM_API SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound);
/// The same, from a lower bound and a count.
QUORVEL_COM_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
/// Clears every element and frees the array; DISP_E_ARRAYISLOCKED while
/// its data is accessed.
QUORVEL_COM_API HRESULT SafeArrayDestroy(SAFEARRAY* psa);
/// A deep copy (elements copied with VariantCopy).
QUORVEL_COM_API HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);
QUORVEL_COM_API HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
QUORVEL_COM_API HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
QUORVEL_COM_API UINT SafeArrayGetDim(SAFEARRAY* psa);
/// Copies element \p rgIndices[0] into \p pv (a VARIANT*); DISP_E_BADINDEX
/// outside the bounds.
QUORVEL_COM_API HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
/// Replaces element \p rgIndices[0] by a copy of \p pv (a VARIANT*).
QUORVEL_COM_API HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
QUORVEL_COM_API HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
QUORVEL_COM_API HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);

inline constexpr HRESULT DISP_E_ARRAYISLOCKED = HRESULT(0x8002000D);

// ---- VARIANT -------------------------------------------------------------

using VARIANT_BOOL = int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

/// Days since 1899-12-30 00:00 (local time), the fraction the time of day.
using DATE = double;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_UI1 = 17,
  VT_I8 = 20,
  VT_VOID = 24,
  VT_HRESULT = 25,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF,
};

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONGLONG llVal;
    LONG lVal;
    BYTE bVal;
    SHORT iVal;
    FLOAT fltVal;
    DOUBLE dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    DATE date;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    SAFEARRAY* parray;
    BYTE* pbVal;
    SHORT* piVal;
    LONG* plVal;
    DOUBLE* pdblVal;
    VARIANT_BOOL* pboolVal;
    SCODE* pscode;
    DATE* pdate;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    SAFEARRAY** pparray;
    VARIANT* pvarVal;
    void* byref;
    /// A user-defined record; not used here, it gives the union the size
    /// it has in the system's VARIANT (two pointers).
    struct {
      void* pvRecord;
      void* pRecInfo;
    } brecVal;
  };
};
using VARIANTARG = VARIANT;

/// Sets the type to VT_EMPTY.
QUORVEL_COM_API void VariantInit(VARIANTARG* pvarg);
/// Frees what the variant owns (BSTR, interface reference, array; nothing
/// for VT_BYREF) and leaves it VT_EMPTY; DISP_E_BADVARTYPE for a type this
/// layer does not know.
QUORVEL_COM_API HRESULT VariantClear(VARIANTARG* pvarg);
/// Clears \p pvargDest, then makes it a copy of \p pvargSrc (new BSTR,
/// AddRef on interfaces, deep array copy; a VT_BYREF copy points at the
/// same data).
QUORVEL_COM_API HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
/// Like VariantCopy, but a VT_BYREF source is copied as the value it
/// points at.
QUORVEL_COM_API HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc);

inline constexpr USHORT VARIANT_NOVALUEPROP = 0x01;
inline constexpr USHORT VARIANT_ALPHABOOL = 0x02;

/// Converts among VT_EMPTY, VT_I2, VT_I4, VT_UI1, VT_R4, VT_R8, VT_BOOL,
/// VT_DATE (as a number), VT_BSTR (numbers in the C locale; "True"/"False"
/// or "-1"/"0" for Booleans), VT_DISPATCH/VT_UNKNOWN (by QueryInterface);
/// a VT_BYREF source is read through. DISP_E_TYPEMISMATCH for other pairs,
/// DISP_E_OVERFLOW when the number does not fit. \p pvargDest may equal
/// \p pvarSrc.
QUORVEL_COM_API HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                          USHORT wFlags, VARTYPE vt);

// ---- DATE ----------------------------------------------------------------

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek; ///< 0 = Sunday
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

/// The DATE of a calendar time (wDayOfWeek is ignored); FALSE when a field
/// is out of range.
QUORVEL_COM_API INT SystemTimeToVariantTime(const SYSTEMTIME* lpSystemTime, DOUBLE* pvtime);
/// The calendar time of a DATE, rounded to the second, with wDayOfWeek.
QUORVEL_COM_API INT VariantTimeToSystemTime(DOUBLE vtime, SYSTEMTIME* lpSystemTime);

// ---- Owning wrappers -----------------------------------------------------

/// Owns one BSTR.
class QUORVEL_COM_API Bstr {
public:
  Bstr() = default;
  explicit Bstr(const std::string& utf8);
  explicit Bstr(const std::u16string& s);
  Bstr(const Bstr& o);
  Bstr(Bstr&& o) noexcept;
  Bstr& operator=(Bstr o) noexcept;
  ~Bstr();

  static Bstr adopt(BSTR b);
  BSTR get() const { return b_; }
  BSTR detach();
  /// Frees the current string and gives the slot to an out argument.
  BSTR* put();
  UINT length() const { return SysStringLen(b_); }
  std::string utf8() const { return bstrToUtf8(b_); }
  std::u16string u16() const { return bstrToU16(b_); }

private:
  BSTR b_ = nullptr;
};

/// Owns one VARIANT: cleared on destruction, deep-copied on copy.
class QUORVEL_COM_API Variant : public VARIANT {
public:
  Variant();
  Variant(const Variant& o);
  Variant(Variant&& o) noexcept;
  explicit Variant(const VARIANT& o); ///< a copy (VariantCopy)
  Variant(int32_t v);                 ///< VT_I4
  Variant(bool v);                    ///< VT_BOOL
  Variant(const char* utf8);          ///< VT_BSTR
  Variant(const std::string& utf8);   ///< VT_BSTR
  Variant(const std::u16string& s);   ///< VT_BSTR
  Variant(const char16_t* s);         ///< VT_BSTR (NULL gives an empty text)
  Variant(IDispatch* p);              ///< VT_DISPATCH, with its own reference
  Variant(IUnknown* p);               ///< VT_UNKNOWN, with its own reference
  Variant& operator=(Variant o) noexcept;
  ~Variant();

  /// VT_DATE.
  static Variant fromDate(DATE d);
  /// VT_ERROR with \p code.
  static Variant error(SCODE code);
  /// The missing optional argument: VT_ERROR holding DISP_E_PARAMNOTFOUND.
  static Variant missing();
  /// VT_BYREF|VT_BOOL pointing at \p p (not owned).
  static Variant boolRef(VARIANT_BOOL* p);
  /// Takes over the content of \p v, leaving \p v VT_EMPTY.
  static Variant adopt(VARIANT& v);

  bool isEmpty() const { return vt == VT_EMPTY; }
  bool isMissing() const { return vt == VT_ERROR && scode == DISP_E_PARAMNOTFOUND; }
  /// Conversions through VariantChangeType; they throw ComError (with
  /// DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW) when the value does not fit.
  int32_t toInt() const;
  bool toBool() const;
  double toDouble() const;
  DATE toDate() const;
  std::string toString() const;
  std::u16string toU16String() const;
  /// The held dispatch interface (VT_DISPATCH, or VT_UNKNOWN asked for
  /// IDispatch; through VT_BYREF); empty for VT_EMPTY and a null pointer;
  /// throws ComError(DISP_E_TYPEMISMATCH) for other types.
  ComPtr<IDispatch> toDispatch() const;
  /// The held interface as IUnknown; rules as toDispatch.
  ComPtr<IUnknown> toUnknown() const;

  /// Clears the value and gives the VARIANT to an out argument.
  VARIANT* put();
  /// Gives up ownership: the content is moved out, this becomes VT_EMPTY.
  VARIANT detach();
};

static_assert(sizeof(Variant) == sizeof(VARIANT), "a Variant array is a VARIANT array");

/// A new one-dimensional VT_VARIANT array holding copies of \p items
/// (lower bound 0).
QUORVEL_COM_API SAFEARRAY* makeVariantArray(const std::vector<Variant>& items);
/// Copies of the elements of a VT_VARIANT array (empty for NULL).
QUORVEL_COM_API std::vector<Variant> variantArrayItems(SAFEARRAY* psa);

} // namespace quorvel::com
