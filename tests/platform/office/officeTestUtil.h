// Helpers for the host object model tests: a fresh command-bar tree and a
// click sink that records what it gets.
#pragma once

#include "office/commandbars.h"

#include <memory>

namespace quorvel::officetest {

using namespace quorvel::office;

/// A command-bar tree of \p host with a clipboard in memory and counters
/// for changes and built-in actions.
struct BarsFixture {
  explicit BarsFixture(const std::string& host = "Outlook", const std::string& file = {}) {
    ctx->host = host;
    ctx->clipboard = &clipboard;
    ctx->onChanged = [this] { ++changes; };
    ctx->onAction = [this](CommandBarControl& c) { actions.push_back(c.id()); };
    bars = CommandBars::create(ctx, file);
  }
  MemoryClipboard clipboard;
  std::shared_ptr<CommandBarContext> ctx = std::make_shared<CommandBarContext>();
  ComPtr<CommandBars> bars;
  int changes = 0;
  std::vector<int32_t> actions;
};

/// Answers the button event interface; records Click and may cancel it.
class ClickSink : public Object<IDispatch> {
public:
  HRESULT GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                 UINT*) override {
    ++calls;
    lastId = id;
    if (p->cArgs >= 1) lastArg = Variant(p->rgvarg[p->cArgs - 1]);
    if (p->cArgs == 2 && p->rgvarg[0].vt == (VT_BYREF | VT_BOOL) && cancel)
      *p->rgvarg[0].pboolVal = VARIANT_TRUE;
    return S_OK;
  }
  int calls = 0;
  DISPID lastId = 0;
  Variant lastArg; ///< the first argument of the last event
  bool cancel = false;
};

} // namespace quorvel::officetest
