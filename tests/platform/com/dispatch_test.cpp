// IDispatch served from a description, late binding, and error information.
#include "com/automation.h"

#include <gtest/gtest.h>

#include <thread>

using namespace quorvel::com;

namespace {

inline constexpr IID IID_IShape = makeGuid("5E1A0C00-0000-4000-8000-00000000AA01");

struct IShape : IDispatch {
  static constexpr const IID& uuid = IID_IShape;
  using Base = IDispatch;
};

const InterfaceDesc kShape{
    .name = "IShape",
    .iid = IID_IShape,
    .members =
        {
            {.name = "Resize", .id = 1, .params = {{.name = "Width", .type = VT_I4},
                                                   {.name = "Height", .type = VT_I4},
                                                   {.name = "Keep", .type = VT_BOOL, .optional = true}},
             .result = VT_BSTR},
            {.name = "Caption", .id = 2, .kind = MemberKind::PropertyGet, .result = VT_BSTR},
            {.name = "Caption", .id = 2, .kind = MemberKind::PropertyPut,
             .params = {{.name = "value", .type = VT_BSTR}}},
            {.name = "Fail", .id = 3},
            {.name = "Toggle", .id = 4, .params = {{.name = "flag", .type = VT_BYREF | VT_BOOL}}},
            {.name = "Unbound", .id = 5},
        },
};

class Shape : public DispatchObject<IShape> {
public:
  Shape() : DispatchObject(kShape) {
    dispatcher().setSource("Shapes.Shape");
    dispatcher().bind("resize", [](DispArgs& a, VARIANT* result) {
      std::string keep = a.missing(2) ? "missing" : (a.toBool(2) ? "keep" : "drop");
      *result = Variant(std::to_string(a.toInt(0)) + "x" + std::to_string(a.toInt(1)) + " " + keep).detach();
      return S_OK;
    });
    dispatcher().bind("Caption", MemberKind::PropertyGet, [this](DispArgs&, VARIANT* result) {
      *result = Variant(caption_).detach();
      return S_OK;
    });
    dispatcher().bind("Caption", MemberKind::PropertyPut, [this](DispArgs& a, VARIANT*) {
      caption_ = a.toString(0);
      return S_OK;
    });
    dispatcher().bind("Fail", [](DispArgs&, VARIANT*) -> HRESULT {
      throw ComError(E_ACCESSDENIED, "The shape is locked");
    });
    dispatcher().bind("Toggle", [](DispArgs& a, VARIANT*) {
      VARIANT_BOOL* flag = a.boolRef(0);
      *flag = *flag ? VARIANT_FALSE : VARIANT_TRUE;
      return S_OK;
    });
  }

private:
  std::string caption_;
};

class DispatchTest : public ::testing::Test {
protected:
  ComPtr<IDispatch> shape{static_cast<IShape*>(new Shape)};
};

TEST_F(DispatchTest, LooksNamesUpWithoutRegardToCase) {
  std::u16string member = u"rESIZE", param = u"height", unknown = u"Depth";
  LPOLESTR names[] = {member.data(), param.data(), unknown.data()};
  DISPID ids[3];
  EXPECT_EQ(shape->GetIDsOfNames(IID_NULL, names, 2, 0, ids), S_OK);
  EXPECT_EQ(ids[0], 1);
  EXPECT_EQ(ids[1], 1); // the second parameter
  EXPECT_EQ(shape->GetIDsOfNames(IID_NULL, names, 3, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[2], DISPID_UNKNOWN);
  std::u16string nothing = u"Nothing";
  LPOLESTR one[] = {nothing.data()};
  EXPECT_EQ(shape->GetIDsOfNames(IID_NULL, one, 1, 0, ids), DISP_E_UNKNOWNNAME);
}

TEST_F(DispatchTest, TakesArgumentsLastFirstAndFillsMissingOptionals) {
  // rgvarg[0] is the last argument.
  Variant args[] = {Variant(int32_t(20)), Variant(int32_t(10))};
  DISPPARAMS params{args, nullptr, 2, 0};
  Variant result;
  ASSERT_EQ(shape->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, result.put(), nullptr, nullptr), S_OK);
  EXPECT_EQ(result.toString(), "10x20 missing");

  EXPECT_EQ(callMethod(shape.get(), "Resize", {Variant("3"), Variant(int32_t(4)), Variant(true)}).toString(),
            "3x4 keep");
  EXPECT_EQ(callMethod(shape.get(), "Resize", {Variant(int32_t(3)), Variant(int32_t(4)), Variant::missing()})
                .toString(),
            "3x4 missing");
}

TEST_F(DispatchTest, RefusesWrongCountsTypesAndMembers) {
  Variant tooMany[] = {Variant(1), Variant(2), Variant(3), Variant(4)};
  DISPPARAMS four{tooMany, nullptr, 4, 0};
  EXPECT_EQ(shape->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &four, nullptr, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  DISPPARAMS one{tooMany, nullptr, 1, 0};
  EXPECT_EQ(shape->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);

  Variant wrong[] = {Variant(int32_t(1)), Variant("wide")}; // Width is "wide"
  DISPPARAMS two{wrong, nullptr, 2, 0};
  UINT argErr = 99;
  EXPECT_EQ(shape->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &two, nullptr, nullptr, &argErr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u);

  Variant missingRequired[] = {Variant(int32_t(1)), Variant::missing()};
  DISPPARAMS req{missingRequired, nullptr, 2, 0};
  EXPECT_EQ(shape->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &req, nullptr, nullptr, nullptr),
            DISP_E_PARAMNOTOPTIONAL);

  EXPECT_EQ(shape->Invoke(77, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(shape->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &two, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(shape->Invoke(5, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
}

TEST_F(DispatchTest, PropertiesAndByRefArguments) {
  putProperty(shape.get(), "caption", Variant("SMS"));
  EXPECT_EQ(getProperty(shape.get(), "Caption").toString(), "SMS");

  VARIANT_BOOL flag = VARIANT_FALSE;
  callMethod(shape.get(), "Toggle", {Variant::boolRef(&flag)});
  EXPECT_EQ(flag, VARIANT_TRUE);
  VARIANT_BOOL plain = VARIANT_FALSE;
  try {
    callMethod(shape.get(), "Toggle", {Variant(bool(plain))}); // not by reference
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), DISP_E_TYPEMISMATCH);
  }
}

TEST_F(DispatchTest, HandlerFailuresArriveAsComErrorWithText) {
  try {
    callMethod(shape.get(), "Fail");
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), E_ACCESSDENIED);
    EXPECT_STREQ(e.what(), "The shape is locked");
    EXPECT_EQ(e.source(), "Shapes.Shape");
  }
  try {
    getProperty(shape.get(), "Colour");
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.hr(), DISP_E_UNKNOWNNAME);
  }
  EXPECT_THROW(getProperty(nullptr, "Caption"), ComError);
}

TEST_F(DispatchTest, TypeInfoNamesMembersAndParameters) {
  UINT count = 0;
  EXPECT_EQ(shape->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(shape->GetTypeInfo(0, 0, info.put()), S_OK);
  BSTR names[4] = {};
  UINT got = 0;
  ASSERT_EQ(info->GetNames(1, names, 4, &got), S_OK);
  ASSERT_EQ(got, 4u);
  EXPECT_EQ(bstrToUtf8(names[0]), "Resize");
  EXPECT_EQ(bstrToUtf8(names[3]), "Keep");
  for (BSTR b : names) SysFreeString(b);
  Bstr name;
  EXPECT_EQ(info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(name.utf8(), "IShape");
}

TEST(ErrorInfo, IsKeptPerThreadAndTakenOnce) {
  setErrorInfo(E_FAIL, "Initialization failed", "VaskAddin.VaskAddin_");
  std::thread([] {
    ComPtr<IErrorInfo> none;
    EXPECT_EQ(GetErrorInfo(0, none.put()), S_FALSE);
    EXPECT_FALSE(none);
  }).join();
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  Bstr description, source;
  info->GetDescription(description.put());
  info->GetSource(source.put());
  EXPECT_EQ(description.utf8(), "Initialization failed");
  EXPECT_EQ(source.utf8(), "VaskAddin.VaskAddin_");
  ComPtr<IErrorInfo> again;
  EXPECT_EQ(GetErrorInfo(0, again.put()), S_FALSE);
}

TEST(ErrorInfo, SafeCallConversionKeepsComCodesElseUnexpected) {
  auto run = [](auto body) {
    try {
      body();
      return S_OK;
    } catch (...) {
      return handleSafeCallException("Src");
    }
  };
  EXPECT_EQ(run([] { throw ComError(DISP_E_MEMBERNOTFOUND); }), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(run([] { throw std::runtime_error("Initialization failed"); }), E_UNEXPECTED);
  EXPECT_THROW(checkResult(E_UNEXPECTED), ComError);
  try {
    checkResult(E_UNEXPECTED); // the error object was taken by the first check
  } catch (const ComError& e) {
    EXPECT_EQ(e.description(), "");
  }
}

} // namespace
