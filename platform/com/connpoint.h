// Connection points: IConnectionPointContainer, IConnectionPoint, a reusable
// point that raises events to every advised sink, and advise/unadvise helpers.
#pragma once

#include "com/dispatch.h"

#include <initializer_list>
#include <mutex>
#include <vector>

namespace quorvel::com {

inline constexpr IID IID_IConnectionPointContainer =
    makeGuid("B196B284-BAB4-101A-B69C-00AA00341D07");
inline constexpr IID IID_IConnectionPoint = makeGuid("B196B286-BAB4-101A-B69C-00AA00341D07");

struct IConnectionPoint;
struct IEnumConnections;      // not provided: EnumConnections answers E_NOTIMPL
struct IEnumConnectionPoints; // not provided: EnumConnectionPoints answers E_NOTIMPL

/// An object that raises events through connection points.
struct IConnectionPointContainer : IUnknown {
  static constexpr const IID& uuid = IID_IConnectionPointContainer;
  virtual HRESULT QUORVEL_STDCALL EnumConnectionPoints(IEnumConnectionPoints** ppEnum) = 0;
  /// The point for the event interface \p riid; CONNECT_E_NOCONNECTION when
  /// the object raises no such events.
  virtual HRESULT QUORVEL_STDCALL FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) = 0;
};

/// One event interface of a container: sinks subscribe with Advise and get
/// a cookie back, and leave with Unadvise and that cookie.
struct IConnectionPoint : IUnknown {
  static constexpr const IID& uuid = IID_IConnectionPoint;
  virtual HRESULT QUORVEL_STDCALL GetConnectionInterface(IID* pIID) = 0;
  virtual HRESULT QUORVEL_STDCALL
  GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
  virtual HRESULT QUORVEL_STDCALL Advise(IUnknown* pUnkSink, DWORD* pdwCookie) = 0;
  virtual HRESULT QUORVEL_STDCALL Unadvise(DWORD dwCookie) = 0;
  virtual HRESULT QUORVEL_STDCALL EnumConnections(IEnumConnections** ppEnum) = 0;
};

/// A connection point held as a member of its container object: its
/// references are the container's. Advise asks the sink for the event
/// interface (else IDispatch; CONNECT_E_CANNOTCONNECT when it has neither)
/// and keeps that reference until Unadvise; cookies start at 1 and are
/// never reused; Unadvise with an unknown cookie gives
/// CONNECT_E_NOCONNECTION.
class QUORVEL_COM_API ConnectionPoint : public IConnectionPoint {
public:
  ConnectionPoint(IConnectionPointContainer& container, REFIID eventIid);
  virtual ~ConnectionPoint();
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  HRESULT QUORVEL_STDCALL QueryInterface(REFIID riid, void** ppv) override;
  ULONG QUORVEL_STDCALL AddRef() override;
  ULONG QUORVEL_STDCALL Release() override;
  HRESULT QUORVEL_STDCALL GetConnectionInterface(IID* pIID) override;
  HRESULT QUORVEL_STDCALL GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
  HRESULT QUORVEL_STDCALL Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
  HRESULT QUORVEL_STDCALL Unadvise(DWORD dwCookie) override;
  HRESULT QUORVEL_STDCALL EnumConnections(IEnumConnections** ppEnum) override;

  REFIID eventIid() const { return iid_; }
  /// The number of advised sinks.
  size_t sinkCount() const;
  /// Raises the event \p id on every sink advised when the call starts
  /// (a sink that unadvises meanwhile is still called this once), with
  /// \p args given first first, as DISPATCH_METHOD. Sinks are called in
  /// advise order; a failing sink does not stop the others. Returns S_OK,
  /// or the first failure result.
  HRESULT fire(DISPID id, const std::vector<Variant>& args = {});
  /// Releases every sink (for the container's destruction).
  void unadviseAll();

private:
  struct Sink {
    DWORD cookie;
    ComPtr<IDispatch> sink;
  };
  IConnectionPointContainer& container_;
  IID iid_;
  mutable std::mutex mutex_;
  std::vector<Sink> sinks_;
  DWORD nextCookie_ = 1;
};

/// FindConnectionPoint over a container's points: the one whose event
/// interface is \p riid, with a reference, or CONNECT_E_NOCONNECTION.
QUORVEL_COM_API HRESULT findConnectionPoint(std::initializer_list<ConnectionPoint*> points,
                                            REFIID riid, IConnectionPoint** ppCP);

/// Subscribes \p sink to the \p eventIid point of \p source (container,
/// point, Advise), returning the result and the cookie.
QUORVEL_COM_API HRESULT adviseSink(IUnknown* source, REFIID eventIid, IUnknown* sink,
                                   DWORD* cookie);
/// Ends a subscription made by adviseSink.
QUORVEL_COM_API HRESULT unadviseSink(IUnknown* source, REFIID eventIid, DWORD cookie);

} // namespace quorvel::com
