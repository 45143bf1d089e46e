// Scalar types, result codes and GUIDs of COM, in the shape of the Win32 headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#if defined(_WIN32)
/// On Windows the layer is a static library inside each program or library
/// that uses it: nothing to export.
#define QUORVEL_COM_API
#else
/// Marks the layer's exported functions; everything else in the shared
/// library stays hidden.
#define QUORVEL_COM_API __attribute__((visibility("default")))
#endif

#if defined(_WIN32) && !defined(_WIN64)
/// The calling convention of COM methods and entry points: __stdcall on
/// 32-bit Windows, so that ole32 and Office call our objects and we call
/// theirs; the platform's only convention elsewhere. Every interface method
/// and every function pointer that crosses COM carries it.
#define QUORVEL_STDCALL __stdcall
#else
#define QUORVEL_STDCALL
#endif

namespace quorvel::com {

using BYTE = uint8_t;
using WORD = uint16_t;
using USHORT = uint16_t;
using SHORT = int16_t;
using DWORD = uint32_t;
using ULONG = uint32_t;
using LONG = int32_t;
using UINT = uint32_t;
using INT = int32_t;
using BOOL = int32_t;
using LONGLONG = int64_t;
using FLOAT = float;
using DOUBLE = double;
using HRESULT = int32_t; ///< 0 success, negative failure, positive warning
using SCODE = int32_t;
using LCID = uint32_t;
using DISPID = int32_t;
using MEMBERID = DISPID;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
/// A Win32 error number as a failure result (FACILITY_WIN32).
constexpr HRESULT HRESULT_FROM_WIN32(uint32_t err) {
  return err == 0 ? 0 : HRESULT((err & 0xFFFF) | 0x80070000u);
}

// ---- Result codes, with their Win32 numbers ------------------------------

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002);
inline constexpr HRESULT E_POINTER = HRESULT(0x80004003);
inline constexpr HRESULT E_ABORT = HRESULT(0x80004004);
inline constexpr HRESULT E_FAIL = HRESULT(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = HRESULT(0x80070005);
inline constexpr HRESULT E_HANDLE = HRESULT(0x80070006);
inline constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057);

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = HRESULT(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = HRESULT(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = HRESULT(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = HRESULT(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = HRESULT(0x80020006);
inline constexpr HRESULT DISP_E_NONAMEDARGS = HRESULT(0x80020007);
inline constexpr HRESULT DISP_E_BADVARTYPE = HRESULT(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = HRESULT(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = HRESULT(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = HRESULT(0x8002000B);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = HRESULT(0x8002000E);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = HRESULT(0x8002000F);
inline constexpr HRESULT TYPE_E_REGISTRYACCESS = HRESULT(0x8002801C);
inline constexpr HRESULT TYPE_E_LIBNOTREGISTERED = HRESULT(0x8002801D);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = HRESULT(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = HRESULT(0x80040111);
inline constexpr HRESULT REGDB_E_READREGDB = HRESULT(0x80040150);
inline constexpr HRESULT REGDB_E_WRITEREGDB = HRESULT(0x80040151);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = HRESULT(0x80040154);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = HRESULT(0x80040200);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = HRESULT(0x80040201);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = HRESULT(0x80040202);
inline constexpr HRESULT CO_E_NOTINITIALIZED = HRESULT(0x800401F0);
inline constexpr HRESULT CO_E_CLASSSTRING = HRESULT(0x800401F3);
inline constexpr HRESULT CO_E_DLLNOTFOUND = HRESULT(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = HRESULT(0x800401F9);
inline constexpr HRESULT MK_E_UNAVAILABLE = HRESULT(0x800401E3);
inline constexpr HRESULT RPC_E_CHANGED_MODE = HRESULT(0x80010106);

// ---- GUIDs ---------------------------------------------------------------

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using LPCLSID = CLSID*;

constexpr bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
    return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i])
      return false;
  return true;
}
constexpr bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
constexpr bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
constexpr bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

namespace detail {
constexpr int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  throw "not a hexadecimal digit in a GUID";
}
constexpr uint32_t hexField(const char* s, int digits) {
  uint32_t v = 0;
  for (int i = 0; i < digits; ++i) v = v << 4 | uint32_t(hexDigit(s[i]));
  return v;
}
} // namespace detail

/// A GUID from its 36-character form without braces,
/// "00020400-0000-0000-C000-000000000046"; usable in constant expressions
/// (a malformed text there is a compile error).
constexpr GUID makeGuid(const char (&s)[37]) {
  if (s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-')
    throw "misplaced dash in a GUID";
  GUID g{detail::hexField(s, 8), uint16_t(detail::hexField(s + 9, 4)),
         uint16_t(detail::hexField(s + 14, 4)), {}};
  g.Data4[0] = uint8_t(detail::hexField(s + 19, 2));
  g.Data4[1] = uint8_t(detail::hexField(s + 21, 2));
  for (int i = 0; i < 6; ++i) g.Data4[2 + i] = uint8_t(detail::hexField(s + 24 + 2 * i, 2));
  return g;
}

inline constexpr GUID GUID_NULL{};

/// "{00020400-0000-0000-C000-000000000046}": upper-case digits in braces.
QUORVEL_COM_API std::string guidToString(REFGUID g);
/// Reads a GUID in braces (either case of digits); false on any other text.
QUORVEL_COM_API bool guidFromString(const std::string& text, GUID* out);
/// The brace form in UTF-16, as StringFromGUID2 writes it.
QUORVEL_COM_API std::u16string guidToU16String(REFGUID g);

/// Writes the brace form and its terminator into \p lpsz; the number of
/// characters written with the terminator, or 0 when \p cchMax is too small.
QUORVEL_COM_API int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
/// Reads a class id in braces; CO_E_CLASSSTRING for any other text.
QUORVEL_COM_API HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
/// Reads an interface id in braces; E_INVALIDARG for any other text.
QUORVEL_COM_API HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid);

/// Orders GUIDs so that they can key standard containers.
struct GuidLess {
  bool operator()(const GUID& a, const GUID& b) const {
    if (a.Data1 != b.Data1) return a.Data1 < b.Data1;
    if (a.Data2 != b.Data2) return a.Data2 < b.Data2;
    if (a.Data3 != b.Data3) return a.Data3 < b.Data3;
    for (int i = 0; i < 8; ++i)
      if (a.Data4[i] != b.Data4[i]) return a.Data4[i] < b.Data4[i];
    return false;
  }
};

/// A readable text for a result code: "Member not found. (0x80020003)" for
/// codes this layer knows, "Error 0x80004005" style for the others.
QUORVEL_COM_API std::string hresultText(HRESULT hr);
/// The result as eight upper-case hexadecimal digits with "0x" in front.
QUORVEL_COM_API std::string hresultHex(HRESULT hr);

} // namespace quorvel::com
