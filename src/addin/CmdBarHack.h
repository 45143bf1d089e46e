// Finds the command-bar collection of whichever Office host runs the add-in.
#pragma once

#include "com/dispatch.h"

namespace quorvel {

/// The host's command bars (used as _CommandBars), all by late binding:
/// Outlook keeps them on its active explorer window ("ActiveExplorer",
/// "commandbars"), the other hosts on the application ("CommandBars").
/// A failing call is thrown as com::ComError.
com::ComPtr<com::IDispatch> GetAppCommandBars(const com::VARIANT& App);

} // namespace quorvel
