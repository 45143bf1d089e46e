// Property values held by the library's objects, and their copies into
// MAPI-allocated memory for callers.
#pragma once

#include "mapi/mapidefs.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::mapi {

using Bytes = std::string; ///< binary property contents

/// One property value owned by the library: scalars in the union, string and
/// binary contents in \p data.
struct PropValue {
  ULONG tag = PT_NULL;
  PV scalar{};
  std::string data;

  static PropValue fromMapi(const SPropValue& v);
  static PropValue string(ULONG tag, std::string s);
  static PropValue binary(ULONG tag, Bytes b);
  static PropValue integer(ULONG tag, LONG l);
  static PropValue boolean(ULONG tag, bool b);
  static PropValue time(ULONG tag, FILETIME ft);
  static PropValue error(ULONG tag, SCODE sc);
};

/// True for the property types the library keeps.
bool isSupportedType(ULONG type);

/// Copies \p v into \p out; strings and binaries are allocated with
/// MAPIAllocateMore on \p parent.
SCODE copyOut(const PropValue& v, SPropValue& out, void* parent);
/// Deep copy of a caller's value into \p out, allocating on \p parent.
SCODE copyOut(const SPropValue& v, SPropValue& out, void* parent);
/// A MAPIAllocateBuffer array holding copies of \p values.
SCODE copyArray(const std::vector<PropValue>& values, SPropValue** out);

/// The properties of one object, keyed by property id.
class PropertyBag {
public:
  void set(PropValue v);
  void setString(ULONG tag, std::string s) { set(PropValue::string(tag, std::move(s))); }
  void setBinary(ULONG tag, Bytes b) { set(PropValue::binary(tag, std::move(b))); }
  void setLong(ULONG tag, LONG l) { set(PropValue::integer(tag, l)); }
  void setBool(ULONG tag, bool b) { set(PropValue::boolean(tag, b)); }
  void erase(ULONG tag) { values_.erase(PROP_ID(tag)); }

  /// The value under \p tag when present with that type (PT_UNSPECIFIED
  /// matches any type).
  const PropValue* find(ULONG tag) const;
  std::optional<std::string> getString(ULONG tag) const;
  std::optional<LONG> getLong(ULONG tag) const;

  /// The values for \p tags (all values for null), missing ones as PT_ERROR.
  std::vector<PropValue> select(const SPropTagArray* tags, bool* missing) const;
  /// IMAPIProp::GetProps over this bag.
  HRESULT getProps(const SPropTagArray* tags, ULONG* count, SPropValue** out) const;
  /// IMAPIProp::SetProps over this bag; unsupported types become problems.
  HRESULT setProps(ULONG count, const SPropValue* values, SPropProblemArray** problems);

private:
  std::map<ULONG, PropValue> values_;
};

/// FILETIME of a count of seconds since 1970-01-01 UTC, and back.
FILETIME fileTimeFromUnix(int64_t seconds);
int64_t unixFromFileTime(FILETIME ft);
FILETIME fileTimeNow();

} // namespace quorvel::mapi
