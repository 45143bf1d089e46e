// Connection points: advising, cookies, and events reaching advised sinks only.
#include "com/automation.h"
#include "com/connpoint.h"

#include <gtest/gtest.h>

using namespace quorvel::com;

namespace {

inline constexpr IID DIID_ButtonEvents = makeGuid("5E1A0C00-0000-4000-8000-00000000BB01");
inline constexpr IID DIID_OtherEvents = makeGuid("5E1A0C00-0000-4000-8000-00000000BB02");

class Button : public Object<IConnectionPointContainer> {
public:
  HRESULT EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** pp) override {
    return findConnectionPoint({&clicks}, riid, pp);
  }
  ConnectionPoint clicks{*this, DIID_ButtonEvents};
};

// Records the Click events it gets; answers the event interface as IDispatch.
class Sink : public Object<IDispatch> {
public:
  HRESULT GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
    ++calls;
    lastId = id;
    if (p->cArgs == 2 && p->rgvarg[0].vt == (VT_BYREF | VT_BOOL)) {
      lastCtrl = p->rgvarg[1].pdispVal;
      *p->rgvarg[0].pboolVal = VARIANT_TRUE;
    }
    return S_OK;
  }
  int calls = 0;
  DISPID lastId = 0;
  IDispatch* lastCtrl = nullptr;

protected:
  void* queryOther(REFIID riid) override {
    return riid == DIID_ButtonEvents ? static_cast<IDispatch*>(this) : nullptr;
  }
};

class NotASink : public Object<IConnectionPointContainer> {
public:
  HRESULT EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  HRESULT FindConnectionPoint(REFIID, IConnectionPoint**) override { return E_NOTIMPL; }
};

TEST(ConnectionPoint, EventsReachOnlyAdvisedSinks) {
  ComPtr<Button> button(new Button);
  ComPtr<Sink> first(new Sink), second(new Sink);
  DWORD c1 = 0, c2 = 0;
  ASSERT_EQ(adviseSink(button.get(), DIID_ButtonEvents, first.get(), &c1), S_OK);
  ASSERT_EQ(adviseSink(button.get(), DIID_ButtonEvents, second.get(), &c2), S_OK);
  EXPECT_NE(c1, 0u);
  EXPECT_NE(c1, c2);

  VARIANT_BOOL cancel = VARIANT_FALSE;
  ComPtr<IDispatch> ctrl(new Sink);
  // Click(Ctrl, CancelDefault): arguments given first first.
  EXPECT_EQ(button->clicks.fire(1, {Variant(ctrl.get()), Variant::boolRef(&cancel)}), S_OK);
  EXPECT_EQ(first->calls, 1);
  EXPECT_EQ(second->calls, 1);
  EXPECT_EQ(first->lastCtrl, ctrl.get());
  EXPECT_EQ(cancel, VARIANT_TRUE);

  EXPECT_EQ(unadviseSink(button.get(), DIID_ButtonEvents, c1), S_OK);
  EXPECT_EQ(unadviseSink(button.get(), DIID_ButtonEvents, c1), CONNECT_E_NOCONNECTION);
  button->clicks.fire(1);
  EXPECT_EQ(first->calls, 1);
  EXPECT_EQ(second->calls, 2);

  DWORD c3 = 0;
  ASSERT_EQ(adviseSink(button.get(), DIID_ButtonEvents, first.get(), &c3), S_OK);
  EXPECT_NE(c3, c1); // cookies are not reused
  EXPECT_EQ(button->clicks.sinkCount(), 2u);
}

TEST(ConnectionPoint, RefusesUnknownPointsAndSinksWithoutDispatch) {
  ComPtr<Button> button(new Button);
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(button->FindConnectionPoint(DIID_OtherEvents, point.put()), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(button->FindConnectionPoint(DIID_ButtonEvents, point.put()), S_OK);
  IID iid{};
  point->GetConnectionInterface(&iid);
  EXPECT_EQ(iid, DIID_ButtonEvents);
  ComPtr<IConnectionPointContainer> back;
  ASSERT_EQ(point->GetConnectionPointContainer(back.put()), S_OK);
  EXPECT_EQ(back.get(), static_cast<IConnectionPointContainer*>(button.get()));

  ComPtr<NotASink> stranger(new NotASink);
  DWORD cookie = 7;
  EXPECT_EQ(point->Advise(stranger.get(), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(point->Unadvise(12345), CONNECT_E_NOCONNECTION);
}

TEST(ConnectionPoint, SinksHeldOnlyWhileAdvised) {
  ComPtr<Button> button(new Button);
  ComPtr<Sink> sink(new Sink);
  DWORD cookie = 0;
  adviseSink(button.get(), DIID_ButtonEvents, sink.get(), &cookie);
  EXPECT_EQ(sink->refCount(), 2u);
  unadviseSink(button.get(), DIID_ButtonEvents, cookie);
  EXPECT_EQ(sink->refCount(), 1u);
}

} // namespace
