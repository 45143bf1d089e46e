// A stream over bytes in memory; property streams hand their bytes to their
// owner when committed.
#pragma once

#include "mapi/mapiobject.h"

#include <functional>
#include <string>

namespace quorvel::mapi {

class MemStream : public Object<IStream> {
public:
  using CommitFn = std::function<HRESULT(const std::string&)>;

  /// A stream starting with \p content; Commit passes the content to
  /// \p onCommit (nothing when empty).
  explicit MemStream(std::string content = {}, CommitFn onCommit = {});

  HRESULT QueryInterface(const IID& riid, void** ppv) override;
  HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override;
  HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
  HRESULT Seek(int64_t move, ULONG origin, uint64_t* newPosition) override;
  HRESULT SetSize(uint64_t newSize) override;
  HRESULT Commit(ULONG grfCommitFlags) override;
  HRESULT Revert() override;

  const std::string& content() const { return data_; }

private:
  std::string data_;
  std::string committed_;
  size_t pos_ = 0;
  CommitFn onCommit_;
};

/// Reads a whole stream from its start.
HRESULT readAll(IStream* stream, std::string& out);

} // namespace quorvel::mapi
