// ConnectionPoint: advised sinks with cookies, events raised to all of them.
#include "com/connpoint.h"

namespace quorvel::com {

ConnectionPoint::ConnectionPoint(IConnectionPointContainer& container, REFIID eventIid)
    : container_(container), iid_(eventIid) {}

ConnectionPoint::~ConnectionPoint() { unadviseAll(); }

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
  AddRef();
  *ppv = static_cast<IConnectionPoint*>(this);
  return S_OK;
}

ULONG ConnectionPoint::AddRef() { return container_.AddRef(); }
ULONG ConnectionPoint::Release() { return container_.Release(); }

HRESULT ConnectionPoint::GetConnectionInterface(IID* pIID) {
  if (!pIID) return E_POINTER;
  *pIID = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
  if (!ppCPC) return E_POINTER;
  container_.AddRef();
  *ppCPC = &container_;
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
  if (!pdwCookie) return E_POINTER;
  *pdwCookie = 0;
  if (!pUnkSink) return E_POINTER;
  // Events go out through IDispatch::Invoke; the sink must implement the
  // event interface (which is a dispatch interface) or IDispatch itself.
  void* p = nullptr;
  if (FAILED(pUnkSink->QueryInterface(iid_, &p)) &&
      FAILED(pUnkSink->QueryInterface(IID_IDispatch, &p)))
    return CONNECT_E_CANNOTCONNECT;
  auto sink = ComPtr<IDispatch>::adopt(static_cast<IDispatch*>(p));
  std::lock_guard lock(mutex_);
  *pdwCookie = nextCookie_++;
  sinks_.push_back({*pdwCookie, std::move(sink)});
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD dwCookie) {
  ComPtr<IDispatch> gone; // released outside the lock
  {
    std::lock_guard lock(mutex_);
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it)
      if (it->cookie == dwCookie) {
        gone = std::move(it->sink);
        sinks_.erase(it);
        return S_OK;
      }
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
  if (ppEnum) *ppEnum = nullptr;
  return E_NOTIMPL;
}

size_t ConnectionPoint::sinkCount() const {
  std::lock_guard lock(mutex_);
  return sinks_.size();
}

HRESULT ConnectionPoint::fire(DISPID id, const std::vector<Variant>& args) {
  std::vector<ComPtr<IDispatch>> targets;
  {
    std::lock_guard lock(mutex_);
    for (const Sink& s : sinks_) targets.push_back(s.sink);
  }
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  HRESULT first = S_OK;
  for (const ComPtr<IDispatch>& sink : targets) {
    DISPPARAMS params{reversed.data(), nullptr, UINT(reversed.size()), 0};
    HRESULT hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                              nullptr, nullptr, nullptr);
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  }
  return first;
}

void ConnectionPoint::unadviseAll() {
  std::vector<Sink> gone;
  {
    std::lock_guard lock(mutex_);
    gone.swap(sinks_);
  }
}

HRESULT findConnectionPoint(std::initializer_list<ConnectionPoint*> points, REFIID riid,
                            IConnectionPoint** ppCP) {
  if (!ppCP) return E_POINTER;
  *ppCP = nullptr;
  for (ConnectionPoint* point : points)
    if (point && point->eventIid() == riid) {
      point->AddRef();
      *ppCP = point;
      return S_OK;
    }
  return CONNECT_E_NOCONNECTION;
}

namespace {
HRESULT pointOf(IUnknown* source, REFIID eventIid, ComPtr<IConnectionPoint>& point) {
  if (!source) return E_POINTER;
  ComPtr<IConnectionPointContainer> container;
  HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, container.putVoid());
  if (FAILED(hr)) return hr;
  return container->FindConnectionPoint(eventIid, point.put());
}
} // namespace

HRESULT adviseSink(IUnknown* source, REFIID eventIid, IUnknown* sink, DWORD* cookie) {
  ComPtr<IConnectionPoint> point;
  HRESULT hr = pointOf(source, eventIid, point);
  if (FAILED(hr)) return hr;
  return point->Advise(sink, cookie);
}

HRESULT unadviseSink(IUnknown* source, REFIID eventIid, DWORD cookie) {
  ComPtr<IConnectionPoint> point;
  HRESULT hr = pointOf(source, eventIid, point);
  if (FAILED(hr)) return hr;
  return point->Unadvise(cookie);
}

} // namespace quorvel::com
