// An in-memory table of property rows, and the row helpers exported with it.
#include "mapi/mapitable.h"

#include "mapi/mapiexports.h"

#include <algorithm>
#include <cstring>

namespace quorvel::mapi {

MemTable::MemTable(std::vector<PropertyBag> rows, std::vector<ULONG> columns)
    : all_(std::move(rows)), columns_(std::move(columns)) {
  for (auto& r : all_)
    view_.push_back(&r);
}

HRESULT MemTable::QueryInterface(const IID& riid, void** ppv) {
  return answer(riid, ppv, {IID_IMAPITable});
}

HRESULT MemTable::SetColumns(const SPropTagArray* tags, ULONG) {
  if (!tags)
    return MAPI_E_INVALID_PARAMETER;
  return guarded([&] {
    columns_.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
    return S_OK;
  });
}

namespace {

// -1, 0 or 1 like memcmp; nullopt when the two values cannot be compared.
std::optional<int> compare(const PropValue& a, const SPropValue& b) {
  if (PROP_TYPE(a.tag) != PROP_TYPE(b.ulPropTag))
    return std::nullopt;
  auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
  switch (PROP_TYPE(a.tag)) {
  case PT_I2:
    return sign(a.scalar.i, b.Value.i);
  case PT_LONG:
    return sign(a.scalar.l, b.Value.l);
  case PT_BOOLEAN:
    return sign(a.scalar.b != 0, b.Value.b != 0);
  case PT_I8:
    return sign(a.scalar.li, b.Value.li);
  case PT_SYSTIME:
    return sign((uint64_t(a.scalar.ft.dwHighDateTime) << 32) | a.scalar.ft.dwLowDateTime,
                (uint64_t(b.Value.ft.dwHighDateTime) << 32) | b.Value.ft.dwLowDateTime);
  case PT_STRING8:
    return sign(a.data, std::string(b.Value.lpszA ? b.Value.lpszA : ""));
  case PT_BINARY:
    return sign(a.data, std::string(reinterpret_cast<const char*>(b.Value.bin.lpb),
                                    b.Value.bin.lpb ? b.Value.bin.cb : 0));
  default:
    return std::nullopt;
  }
}

} // namespace

bool matches(const PropertyBag& row, const SRestriction& r) {
  const SPropertyRestriction& p = r.res.resProperty;
  const PropValue* v = row.find(p.ulPropTag);
  if (!v || !p.lpProp)
    return false;
  std::optional<int> c = compare(*v, *p.lpProp);
  if (!c)
    return false;
  switch (p.relop) {
  case RELOP_LT:
    return *c < 0;
  case RELOP_LE:
    return *c <= 0;
  case RELOP_GT:
    return *c > 0;
  case RELOP_GE:
    return *c >= 0;
  case RELOP_EQ:
    return *c == 0;
  case RELOP_NE:
    return *c != 0;
  default:
    return false;
  }
}

HRESULT MemTable::Restrict(const SRestriction* r, ULONG) {
  if (r && r->rt != RES_PROPERTY)
    return MAPI_E_NO_SUPPORT;
  return guarded([&] {
    view_.clear();
    for (auto& row : all_)
      if (!r || matches(row, *r))
        view_.push_back(&row);
    cursor_ = 0;
    return S_OK;
  });
}

HRESULT MemTable::SortTable(const SSortOrderSet* sort, ULONG) {
  // The table's rows keep their natural order; only "no order" is accepted.
  return !sort || sort->cSorts == 0 ? S_OK : MAPI_E_NO_SUPPORT;
}

HRESULT MemTable::SeekRow(BOOKMARK origin, LONG count, LONG* sought) {
  int64_t base = origin == BOOKMARK_BEGINNING ? 0
                 : origin == BOOKMARK_END     ? int64_t(view_.size())
                 : origin == BOOKMARK_CURRENT ? int64_t(cursor_)
                                              : -1;
  if (base < 0)
    return MAPI_E_INVALID_PARAMETER;
  int64_t target = std::clamp<int64_t>(base + count, 0, int64_t(view_.size()));
  if (sought)
    *sought = LONG(target - base);
  cursor_ = size_t(target);
  return S_OK;
}

HRESULT MemTable::GetRowCount(ULONG, ULONG* count) {
  if (!count)
    return MAPI_E_INVALID_PARAMETER;
  *count = ULONG(view_.size());
  return S_OK;
}

HRESULT MemTable::QueryRows(LONG wanted, ULONG, SRowSet** out) {
  if (!out || wanted <= 0)
    return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  return guarded([&]() -> HRESULT {
    size_t n = std::min(size_t(wanted), view_.size() - cursor_);
    void* mem = nullptr;
    if (SCODE sc = MAPIAllocateBuffer(ULONG(CbNewSRowSet(n)), &mem); sc != S_OK)
      return sc;
    auto* rows = static_cast<SRowSet*>(mem);
    rows->cRows = 0;
    std::vector<ULONG> cols = columns_;
    for (size_t i = 0; i < n; ++i) {
      SPropTagArray* tags = nullptr;
      std::vector<char> tagMem(CbNewSPropTagArray(cols.size()));
      tags = reinterpret_cast<SPropTagArray*>(tagMem.data());
      tags->cValues = ULONG(cols.size());
      std::copy(cols.begin(), cols.end(), tags->aulPropTag);
      bool missing = false;
      SRow& row = rows->aRow[i];
      row = SRow{};
      if (SCODE sc = copyArray(view_[cursor_ + i]->select(tags, &missing), &row.lpProps);
          sc != S_OK) {
        FreeProws(rows);
        return sc;
      }
      row.cValues = ULONG(cols.size());
      rows->cRows = ULONG(i + 1);
    }
    cursor_ += n;
    *out = rows;
    return S_OK;
  });
}

HRESULT HrQueryAllRows(IMAPITable* table, const SPropTagArray* tags, const SRestriction* res,
                       const SSortOrderSet* sort, LONG crowsMax, SRowSet** out) {
  if (!table || !out)
    return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  HRESULT hr = S_OK;
  if (tags && HR_FAILED(hr = table->SetColumns(tags, 0)))
    return hr;
  if (HR_FAILED(hr = table->Restrict(res, 0)))
    return hr;
  if (sort && HR_FAILED(hr = table->SortTable(sort, 0)))
    return hr;
  if (HR_FAILED(hr = table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr)))
    return hr;
  ULONG count = 0;
  if (HR_FAILED(hr = table->GetRowCount(0, &count)))
    return hr;
  if (crowsMax > 0 && count > ULONG(crowsMax))
    return MAPI_E_TABLE_TOO_BIG;
  if (count == 0) {
    void* mem = nullptr;
    if (SCODE sc = MAPIAllocateBuffer(ULONG(CbNewSRowSet(0)), &mem); sc != S_OK)
      return sc;
    static_cast<SRowSet*>(mem)->cRows = 0;
    *out = static_cast<SRowSet*>(mem);
    return S_OK;
  }
  return table->QueryRows(LONG(count), 0, out);
}

void FreeProws(SRowSet* rows) {
  if (!rows)
    return;
  for (ULONG i = 0; i < rows->cRows; ++i)
    MAPIFreeBuffer(rows->aRow[i].lpProps);
  MAPIFreeBuffer(rows);
}

HRESULT HrGetOneProp(IMAPIProp* object, ULONG tag, SPropValue** out) {
  if (!object || !out)
    return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  SPropTagArray one{1, {tag}};
  ULONG count = 0;
  SPropValue* values = nullptr;
  HRESULT hr = object->GetProps(&one, 0, &count, &values);
  if (HR_FAILED(hr))
    return hr;
  if (count != 1 || !values || PROP_TYPE(values[0].ulPropTag) == PT_ERROR) {
    hr = values && count == 1 ? values[0].Value.err : MAPI_E_NOT_FOUND;
    MAPIFreeBuffer(values);
    return HR_FAILED(hr) ? hr : MAPI_E_NOT_FOUND;
  }
  *out = values;
  return S_OK;
}

} // namespace quorvel::mapi
