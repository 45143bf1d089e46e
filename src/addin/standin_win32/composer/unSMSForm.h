// Stand-in for the composer window's header while the composer does not
// build on Windows: the window never exists.
#pragma once

namespace quorvel {

class TfrmSMSComposer;

/// Always null here: there is no composer window.
extern TfrmSMSComposer* frmSMSComposer;

} // namespace quorvel
