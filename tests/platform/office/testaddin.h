// Identities of the two add-ins in the test library the add-in manager loads.
#pragma once

#include "office/officeids.h"

namespace quorvel::officetest {

using namespace quorvel::com;

/// Connects and logs each call through the application's "Log" method.
inline constexpr CLSID CLSID_GoodAddIn = makeGuid("3C1D7E20-5A4B-4F61-9D2E-7A0B1C2D3E01");
inline constexpr char kGoodProgId[] = "QuorvelTest.GoodAddIn";
/// Logs, then refuses to connect with error information.
inline constexpr CLSID CLSID_FailingAddIn = makeGuid("3C1D7E20-5A4B-4F61-9D2E-7A0B1C2D3E02");
inline constexpr char kFailingProgId[] = "QuorvelTest.FailingAddIn";

} // namespace quorvel::officetest
