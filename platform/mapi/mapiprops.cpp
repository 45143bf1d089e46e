// Property values held by the library's objects, and their copies into
// MAPI-allocated memory for callers.
#include "mapi/mapiprops.h"

#include "mapi/mapiexports.h"

#include <chrono>
#include <cstring>

namespace quorvel::mapi {

bool isSupportedType(ULONG type) {
  switch (type) {
  case PT_I2:
  case PT_LONG:
  case PT_BOOLEAN:
  case PT_I8:
  case PT_SYSTIME:
  case PT_STRING8:
  case PT_BINARY:
  case PT_ERROR:
    return true;
  default:
    return false;
  }
}

PropValue PropValue::fromMapi(const SPropValue& v) {
  PropValue p;
  p.tag = v.ulPropTag;
  switch (PROP_TYPE(v.ulPropTag)) {
  case PT_STRING8:
    p.data = v.Value.lpszA ? v.Value.lpszA : "";
    break;
  case PT_BINARY:
    if (v.Value.bin.lpb && v.Value.bin.cb)
      p.data.assign(reinterpret_cast<const char*>(v.Value.bin.lpb), v.Value.bin.cb);
    break;
  default:
    p.scalar = v.Value;
  }
  return p;
}

PropValue PropValue::string(ULONG tag, std::string s) {
  PropValue p;
  p.tag = CHANGE_PROP_TYPE(tag, PT_STRING8);
  p.data = std::move(s);
  return p;
}

PropValue PropValue::binary(ULONG tag, Bytes b) {
  PropValue p;
  p.tag = CHANGE_PROP_TYPE(tag, PT_BINARY);
  p.data = std::move(b);
  return p;
}

PropValue PropValue::integer(ULONG tag, LONG l) {
  PropValue p;
  p.tag = CHANGE_PROP_TYPE(tag, PT_LONG);
  p.scalar.l = l;
  return p;
}

PropValue PropValue::boolean(ULONG tag, bool b) {
  PropValue p;
  p.tag = CHANGE_PROP_TYPE(tag, PT_BOOLEAN);
  p.scalar.b = b ? 1 : 0;
  return p;
}

PropValue PropValue::time(ULONG tag, FILETIME ft) {
  PropValue p;
  p.tag = CHANGE_PROP_TYPE(tag, PT_SYSTIME);
  p.scalar.ft = ft;
  return p;
}

PropValue PropValue::error(ULONG tag, SCODE sc) {
  PropValue p;
  p.tag = CHANGE_PROP_TYPE(tag, PT_ERROR);
  p.scalar.err = sc;
  return p;
}

namespace {

SCODE copyBytes(const char* data, size_t size, bool terminate, void* parent, void** out) {
  void* mem = nullptr;
  SCODE sc = MAPIAllocateMore(ULONG(size + (terminate ? 1 : 0)), parent, &mem);
  if (sc != S_OK)
    return sc;
  if (size)
    std::memcpy(mem, data, size);
  *out = mem;
  return S_OK;
}

} // namespace

SCODE copyOut(const PropValue& v, SPropValue& out, void* parent) {
  out = SPropValue{};
  out.ulPropTag = v.tag;
  void* mem = nullptr;
  switch (PROP_TYPE(v.tag)) {
  case PT_STRING8:
    if (SCODE sc = copyBytes(v.data.data(), v.data.size(), true, parent, &mem); sc != S_OK)
      return sc;
    out.Value.lpszA = static_cast<char*>(mem);
    return S_OK;
  case PT_BINARY:
    if (SCODE sc = copyBytes(v.data.data(), v.data.size(), false, parent, &mem); sc != S_OK)
      return sc;
    out.Value.bin.cb = ULONG(v.data.size());
    out.Value.bin.lpb = static_cast<BYTE*>(mem);
    return S_OK;
  default:
    out.Value = v.scalar;
    return S_OK;
  }
}

SCODE copyOut(const SPropValue& v, SPropValue& out, void* parent) {
  return copyOut(PropValue::fromMapi(v), out, parent);
}

SCODE copyArray(const std::vector<PropValue>& values, SPropValue** out) {
  *out = nullptr;
  void* mem = nullptr;
  SCODE sc = MAPIAllocateBuffer(ULONG(sizeof(SPropValue) * (values.empty() ? 1 : values.size())),
                                &mem);
  if (sc != S_OK)
    return sc;
  auto* array = static_cast<SPropValue*>(mem);
  for (size_t i = 0; i < values.size(); ++i)
    if ((sc = copyOut(values[i], array[i], mem)) != S_OK) {
      MAPIFreeBuffer(mem);
      return sc;
    }
  *out = array;
  return S_OK;
}

void PropertyBag::set(PropValue v) { values_[PROP_ID(v.tag)] = std::move(v); }

const PropValue* PropertyBag::find(ULONG tag) const {
  auto it = values_.find(PROP_ID(tag));
  if (it == values_.end())
    return nullptr;
  if (PROP_TYPE(tag) != PT_UNSPECIFIED && PROP_TYPE(tag) != PROP_TYPE(it->second.tag))
    return nullptr;
  return &it->second;
}

std::optional<std::string> PropertyBag::getString(ULONG tag) const {
  const PropValue* v = find(CHANGE_PROP_TYPE(tag, PT_STRING8));
  if (!v)
    return std::nullopt;
  return v->data;
}

std::optional<LONG> PropertyBag::getLong(ULONG tag) const {
  const PropValue* v = find(CHANGE_PROP_TYPE(tag, PT_LONG));
  if (!v)
    return std::nullopt;
  return v->scalar.l;
}

std::vector<PropValue> PropertyBag::select(const SPropTagArray* tags, bool* missing) const {
  std::vector<PropValue> out;
  *missing = false;
  if (!tags) {
    for (auto& [id, v] : values_)
      out.push_back(v);
    return out;
  }
  for (ULONG i = 0; i < tags->cValues; ++i) {
    ULONG tag = tags->aulPropTag[i];
    if (const PropValue* v = find(tag)) {
      out.push_back(*v);
    } else {
      out.push_back(PropValue::error(tag, MAPI_E_NOT_FOUND));
      *missing = true;
    }
  }
  return out;
}

HRESULT PropertyBag::getProps(const SPropTagArray* tags, ULONG* count, SPropValue** out) const {
  if (!count || !out)
    return MAPI_E_INVALID_PARAMETER;
  *count = 0;
  *out = nullptr;
  bool missing = false;
  std::vector<PropValue> values = select(tags, &missing);
  if (SCODE sc = copyArray(values, out); sc != S_OK)
    return sc;
  *count = ULONG(values.size());
  return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
}

HRESULT PropertyBag::setProps(ULONG count, const SPropValue* values,
                              SPropProblemArray** problems) {
  if (problems)
    *problems = nullptr;
  if (count && !values)
    return MAPI_E_INVALID_PARAMETER;
  std::vector<SPropProblem> found;
  for (ULONG i = 0; i < count; ++i) {
    ULONG type = PROP_TYPE(values[i].ulPropTag);
    if (!isSupportedType(type) || type == PT_ERROR) {
      found.push_back({i, values[i].ulPropTag,
                       type == PT_UNICODE ? MAPI_E_BAD_CHARWIDTH : MAPI_E_NO_SUPPORT});
      continue;
    }
    set(PropValue::fromMapi(values[i]));
  }
  if (problems && !found.empty()) {
    void* mem = nullptr;
    if (MAPIAllocateBuffer(ULONG(CbNewSPropProblemArray(found.size())), &mem) == S_OK) {
      auto* array = static_cast<SPropProblemArray*>(mem);
      array->cProblem = ULONG(found.size());
      for (size_t i = 0; i < found.size(); ++i)
        array->aProblem[i] = found[i];
      *problems = array;
    }
  }
  return S_OK;
}

// FILETIME counts 100 ns steps from 1601; Unix time seconds from 1970.
constexpr int64_t kEpochDelta = 11644473600LL;
constexpr int64_t kTicksPerSecond = 10000000LL;

FILETIME fileTimeFromUnix(int64_t seconds) {
  uint64_t ticks = uint64_t(seconds + kEpochDelta) * uint64_t(kTicksPerSecond);
  return FILETIME{uint32_t(ticks), uint32_t(ticks >> 32)};
}

int64_t unixFromFileTime(FILETIME ft) {
  uint64_t ticks = (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return int64_t(ticks / kTicksPerSecond) - kEpochDelta;
}

FILETIME fileTimeNow() {
  auto now = std::chrono::system_clock::now().time_since_epoch();
  int64_t ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100 +
                  kEpochDelta * kTicksPerSecond;
  return FILETIME{uint32_t(uint64_t(ticks)), uint32_t(uint64_t(ticks) >> 32)};
}

} // namespace quorvel::mapi
