// Identities of the tiny in-process server that the COM tests load.
#pragma once

#include "com/dispatch.h"

namespace quorvel::comtest {

using namespace quorvel::com;

inline constexpr CLSID CLSID_Counter = makeGuid("6A1C2F40-7D1E-4C55-9E3B-2B8E5D0A1F01");
inline constexpr IID IID_ICounter = makeGuid("6A1C2F40-7D1E-4C55-9E3B-2B8E5D0A1F02");
inline constexpr char kCounterProgId[] = "QuorvelTest.Counter";

/// A counter that can be read and bumped.
struct ICounter : IDispatch {
  static constexpr const IID& uuid = IID_ICounter;
  using Base = IDispatch;
  virtual HRESULT Add(LONG by, LONG* total) = 0;
};

} // namespace quorvel::comtest
