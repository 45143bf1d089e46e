// A stream over bytes in memory; property streams hand their bytes to their
// owner when committed.
#include "mapi/mapistream.h"

#include <algorithm>
#include <cstring>

namespace quorvel::mapi {

MemStream::MemStream(std::string content, CommitFn onCommit)
    : data_(std::move(content)), committed_(data_), onCommit_(std::move(onCommit)) {}

HRESULT MemStream::QueryInterface(const IID& riid, void** ppv) {
  return answer(riid, ppv, {IID_IStream});
}

HRESULT MemStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (!pv && cb)
    return MAPI_E_INVALID_PARAMETER;
  size_t n = pos_ < data_.size() ? std::min<size_t>(cb, data_.size() - pos_) : 0;
  if (n)
    std::memcpy(pv, data_.data() + pos_, n);
  pos_ += n;
  if (pcbRead)
    *pcbRead = ULONG(n);
  return S_OK;
}

HRESULT MemStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
  if (!pv && cb)
    return MAPI_E_INVALID_PARAMETER;
  return guarded([&] {
    if (data_.size() < pos_ + cb)
      data_.resize(pos_ + cb);
    if (cb)
      std::memcpy(data_.data() + pos_, pv, cb);
    pos_ += cb;
    if (pcbWritten)
      *pcbWritten = cb;
    return S_OK;
  });
}

HRESULT MemStream::Seek(int64_t move, ULONG origin, uint64_t* newPosition) {
  int64_t base = origin == STREAM_SEEK_SET   ? 0
                 : origin == STREAM_SEEK_CUR ? int64_t(pos_)
                 : origin == STREAM_SEEK_END ? int64_t(data_.size())
                                             : -1;
  if (base < 0 || base + move < 0)
    return MAPI_E_INVALID_PARAMETER;
  pos_ = size_t(base + move);
  if (newPosition)
    *newPosition = pos_;
  return S_OK;
}

HRESULT MemStream::SetSize(uint64_t newSize) {
  return guarded([&] {
    data_.resize(size_t(newSize));
    return S_OK;
  });
}

HRESULT MemStream::Commit(ULONG) {
  return guarded([&] {
    HRESULT hr = onCommit_ ? onCommit_(data_) : S_OK;
    if (!HR_FAILED(hr))
      committed_ = data_;
    return hr;
  });
}

HRESULT MemStream::Revert() {
  return guarded([&] {
    data_ = committed_;
    pos_ = std::min(pos_, data_.size());
    return S_OK;
  });
}

HRESULT readAll(IStream* stream, std::string& out) {
  out.clear();
  HRESULT hr = stream->Seek(0, STREAM_SEEK_SET, nullptr);
  if (HR_FAILED(hr))
    return hr;
  char buf[4096];
  for (;;) {
    ULONG got = 0;
    if (HR_FAILED(hr = stream->Read(buf, sizeof buf, &got)))
      return hr;
    if (got == 0)
      return S_OK;
    out.append(buf, got);
  }
}

} // namespace quorvel::mapi
