// GUIDs, reference counting, BSTR, VARIANT, SAFEARRAY and DATE values.
#include "com/errorinfo.h"
#include "com/oleauto.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace quorvel::com;

namespace {

inline constexpr IID IID_IThing = makeGuid("0A0B0C0D-1111-2222-3333-444455556666");
struct IThing : IUnknown {
  static constexpr const IID& uuid = IID_IThing;
  virtual int value() = 0;
};

class Thing : public Object<IThing> {
public:
  explicit Thing(bool* destroyed) : destroyed_(destroyed) {}
  ~Thing() override { *destroyed_ = true; }
  int value() override { return 7; }

private:
  bool* destroyed_;
};

TEST(Guid, FormatsAndParsesInBraces) {
  constexpr GUID g = makeGuid("00020400-0000-0000-C000-000000000046");
  EXPECT_EQ(guidToString(g), "{00020400-0000-0000-C000-000000000046}");
  GUID back{};
  ASSERT_TRUE(guidFromString("{00020400-0000-0000-c000-000000000046}", &back));
  EXPECT_EQ(back, g);
  for (const char* bad : {"00020400-0000-0000-C000-000000000046", "{00020400-0000-0000-C000-00000000004}",
                          "{00020400-0000-0000-C000-00000000004G}", "{00020400+0000-0000-C000-000000000046}"})
    EXPECT_FALSE(guidFromString(bad, &back)) << bad;
  OLECHAR text[39];
  EXPECT_EQ(StringFromGUID2(g, text, 38), 0);
  EXPECT_EQ(StringFromGUID2(g, text, 39), 39);
  CLSID c{};
  EXPECT_EQ(CLSIDFromString(text, &c), S_OK);
  EXPECT_EQ(c, g);
  EXPECT_EQ(CLSIDFromString(u"VaskAddin.VaskAddin_", &c), CO_E_CLASSSTRING);
}

TEST(Object, CountsReferencesAndAnswersItsInterfaces) {
  bool destroyed = false;
  ComPtr<IThing> thing(new Thing(&destroyed));
  EXPECT_EQ(static_cast<Thing*>(thing.get())->refCount(), 1u);
  {
    ComPtr<IUnknown> unknown = thing.query<IUnknown>();
    ASSERT_TRUE(unknown);
    EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(thing.get()));
    EXPECT_EQ(static_cast<Thing*>(thing.get())->refCount(), 2u);
  }
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(thing->QueryInterface(makeGuid("00020400-0000-0000-C000-000000000046"), &p),
            E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(thing->AddRef(), 2u);
  EXPECT_EQ(thing->Release(), 1u);
  thing.reset();
  EXPECT_TRUE(destroyed);
}

TEST(Bstr, KeepsLengthPrefixAndEmbeddedZeros) {
  const OLECHAR text[] = u"ab\0cd";
  BSTR b = SysAllocStringLen(text, 5);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), 5u);
  EXPECT_EQ(SysStringByteLen(b), 10u);
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<char*>(b) - 4, 4);
  EXPECT_EQ(prefix, 10u);
  EXPECT_EQ(b[5], 0);
  EXPECT_EQ(bstrToU16(b), std::u16string(text, 5));
  SysFreeString(b);

  BSTR z = SysAllocString(u"Zürich ✓");
  EXPECT_EQ(bstrToUtf8(z), "Zürich ✓");
  SysFreeString(z);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
}

TEST(Variant, CopiesOwnDataAndClearingReleases) {
  bool destroyed = false;
  auto* thing = new Thing(&destroyed);
  {
    Variant a(std::string("text"));
    Variant b = a;
    EXPECT_NE(a.bstrVal, b.bstrVal);
    EXPECT_EQ(b.toString(), "text");

    VARIANT raw;
    VariantInit(&raw);
    raw.vt = VT_UNKNOWN;
    raw.punkVal = thing->identity();
    thing->AddRef();
    Variant c(raw); // a copy: two references now
    EXPECT_EQ(thing->refCount(), 2u);
    EXPECT_EQ(VariantClear(&raw), S_OK);
    EXPECT_EQ(raw.vt, VT_EMPTY);
    EXPECT_FALSE(destroyed);
  }
  EXPECT_TRUE(destroyed);

  VARIANT bad;
  VariantInit(&bad);
  bad.vt = 0x77;
  EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
}

TEST(Variant, ByRefCopiesPointAtTheSameData) {
  VARIANT_BOOL flag = VARIANT_FALSE;
  Variant ref = Variant::boolRef(&flag);
  Variant copy = ref;
  *copy.pboolVal = VARIANT_TRUE;
  EXPECT_EQ(flag, VARIANT_TRUE);
  EXPECT_EQ(flag, -1);
  EXPECT_TRUE(ref.toBool());
  Variant value;
  EXPECT_EQ(VariantCopyInd(&value, &ref), S_OK);
  EXPECT_EQ(value.vt, VT_BOOL);
}

struct Conversion {
  Variant from;
  VARTYPE to;
  HRESULT hr;
  std::string text; // the result as text when hr is S_OK
};

TEST(Variant, ChangeTypeConvertsWhatAutomationConverts) {
  const Conversion cases[] = {
      {Variant(int32_t(42)), VT_BSTR, S_OK, "42"},
      {Variant("  17 "), VT_I4, S_OK, "17"},
      {Variant("2.5"), VT_I4, S_OK, "2"}, // half to even
      {Variant("3.5"), VT_I4, S_OK, "4"},
      {Variant("x1"), VT_I4, DISP_E_TYPEMISMATCH, ""},
      {Variant("70000"), VT_I2, DISP_E_OVERFLOW, ""},
      {Variant(true), VT_I4, S_OK, "-1"},
      {Variant("True"), VT_BOOL, S_OK, "True"},
      {Variant(int32_t(0)), VT_BOOL, S_OK, "False"},
      {Variant(), VT_I4, S_OK, "0"},
      {Variant::missing(), VT_I4, DISP_E_TYPEMISMATCH, ""},
      {Variant(static_cast<IDispatch*>(nullptr)), VT_I4, DISP_E_TYPEMISMATCH, ""},
  };
  for (const Conversion& c : cases) {
    Variant out;
    HRESULT hr = VariantChangeType(&out, &c.from, 0, c.to);
    EXPECT_EQ(hr, c.hr) << c.text;
    if (hr == S_OK) {
      EXPECT_EQ(out.vt, c.to);
      EXPECT_EQ(out.toString(), c.text);
    }
  }
}

TEST(Variant, AccessorsThrowComErrorOnMismatch) {
  try {
    Variant("abc").toInt();
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), DISP_E_TYPEMISMATCH);
  }
  EXPECT_TRUE(Variant::missing().isMissing());
  EXPECT_EQ(Variant::missing().scode, DISP_E_PARAMNOTFOUND);
}

TEST(SafeArray, HoldsVariantsAndCopiesDeeply) {
  SAFEARRAY* psa = makeVariantArray({Variant(int32_t(1)), Variant("two")});
  LONG lo = -1, hi = -1;
  EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lo), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(psa, 1, &hi), S_OK);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 1);
  LONG outside = 2;
  Variant v;
  EXPECT_EQ(SafeArrayGetElement(psa, &outside, v.put()), DISP_E_BADINDEX);

  Variant holder;
  holder.vt = VT_ARRAY | VT_VARIANT;
  holder.parray = psa; // owned by holder now
  Variant copy = holder;
  EXPECT_NE(copy.parray, psa);
  std::vector<Variant> items = variantArrayItems(copy.parray);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].toString(), "two");

  void* data = nullptr;
  EXPECT_EQ(SafeArrayAccessData(psa, &data), S_OK);
  EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
  EXPECT_EQ(SafeArrayCreateVector(VT_I4, 0, 3), nullptr); // only VARIANT elements
}

TEST(Date, ConvertsCalendarFieldsBothWays) {
  SYSTEMTIME st{2004, 3, 0, 5, 14, 30, 0, 0};
  DOUBLE d = 0;
  ASSERT_TRUE(SystemTimeToVariantTime(&st, &d));
  EXPECT_DOUBLE_EQ(d, 38051.0 + 14.5 / 24);
  SYSTEMTIME back{};
  ASSERT_TRUE(VariantTimeToSystemTime(d, &back));
  EXPECT_EQ(back.wYear, 2004);
  EXPECT_EQ(back.wMonth, 3);
  EXPECT_EQ(back.wDay, 5);
  EXPECT_EQ(back.wDayOfWeek, 5); // a Friday
  EXPECT_EQ(back.wHour, 14);
  EXPECT_EQ(back.wMinute, 30);
  ASSERT_TRUE(VariantTimeToSystemTime(-1.25, &back)); // 1899-12-29 06:00
  EXPECT_EQ(back.wDay, 29);
  EXPECT_EQ(back.wHour, 6);
  SYSTEMTIME bad{2003, 2, 0, 29, 0, 0, 0, 0};
  EXPECT_FALSE(SystemTimeToVariantTime(&bad, &d));
}

} // namespace
