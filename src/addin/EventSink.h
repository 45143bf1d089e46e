// The click sink of a command-bar button: forwards Click to a callback.
#pragma once

#include "com/dispatch.h"

#include <functional>
#include <memory>

namespace quorvel {

/// The click callback, bound to its target object: the clicked button and
/// the host's cancel flag for the click (by reference).
using TClickProc = std::function<void(com::IDispatch* Ctrl, com::VARIANT_BOOL* CancelDefault)>;

/// Subscribed to a button's _CommandBarButtonEvents connection point. Its
/// lifetime is its owner's: the host's references are not counted (AddRef
/// answers 2, Release 1, and neither ever destroys it). IUnknown, IDispatch
/// and the button event interface all give the same pointer.
class TEventSink final : public com::IDispatch {
public:
  /// Keeps \p ClickProc in FClickProc.
  explicit TEventSink(TClickProc ClickProc);
  TEventSink(const TEventSink&) = delete;
  TEventSink& operator=(const TEventSink&) = delete;
  ~TEventSink() = default;

  com::HRESULT QUORVEL_STDCALL QueryInterface(com::REFIID riid, void** ppvObject) override;
  com::ULONG QUORVEL_STDCALL AddRef() override;
  com::ULONG QUORVEL_STDCALL Release() override;
  com::HRESULT QUORVEL_STDCALL GetTypeInfoCount(com::UINT* pctinfo) override;
  com::HRESULT QUORVEL_STDCALL GetTypeInfo(com::UINT iTInfo, com::LCID lcid,
                                           com::ITypeInfo** ppTInfo) override;
  com::HRESULT QUORVEL_STDCALL GetIDsOfNames(com::REFIID riid, com::LPOLESTR* rgszNames,
                                             com::UINT cNames, com::LCID lcid,
                                             com::DISPID* rgDispId) override;
  /// Click (dispatch id 1) calls FClickProc with the button and the cancel
  /// flag; every other id does nothing. S_OK, or the failure result of an
  /// error the callback throws (with error info, as T's operations give it);
  /// the outputs are never written.
  com::HRESULT QUORVEL_STDCALL Invoke(com::DISPID dispIdMember, com::REFIID riid, com::LCID lcid,
                                      com::WORD wFlags, com::DISPPARAMS* pDispParams,
                                      com::VARIANT* pVarResult, com::EXCEPINFO* pExcepInfo,
                                      com::UINT* puArgErr) override;

  /// For a sink the host would not let go of (its Unadvise failed): the
  /// host may still call it, so it is never freed. Its callback is dropped,
  /// since the callback's target may go, and the sink is held for the rest
  /// of the process; a Click then does nothing.
  static void keepForHost(std::unique_ptr<TEventSink> sink) noexcept;

private:
  TClickProc FClickProc;
};

} // namespace quorvel
