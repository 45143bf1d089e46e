// An in-memory table of property rows (the message-store table).
#pragma once

#include "mapi/mapiobject.h"
#include "mapi/mapiprops.h"

#include <vector>

namespace quorvel::mapi {

class MemTable : public Object<IMAPITable> {
public:
  /// \p rows with \p columns as the initial column set.
  MemTable(std::vector<PropertyBag> rows, std::vector<ULONG> columns);

  HRESULT QueryInterface(const IID& riid, void** ppv) override;
  HRESULT SetColumns(const SPropTagArray* lpPropTagArray, ULONG ulFlags) override;
  HRESULT Restrict(const SRestriction* lpRestriction, ULONG ulFlags) override;
  HRESULT SortTable(const SSortOrderSet* lpSortCriteria, ULONG ulFlags) override;
  HRESULT SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) override;
  HRESULT GetRowCount(ULONG ulFlags, ULONG* lpulCount) override;
  HRESULT QueryRows(LONG lRowCount, ULONG ulFlags, SRowSet** lppRows) override;

private:
  std::vector<PropertyBag> all_;
  std::vector<const PropertyBag*> view_; // rows passing the restriction
  std::vector<ULONG> columns_;
  size_t cursor_ = 0;
};

/// Whether \p row satisfies a property restriction (the only kind known).
bool matches(const PropertyBag& row, const SRestriction& r);

} // namespace quorvel::mapi
