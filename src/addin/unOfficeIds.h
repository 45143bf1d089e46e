// Interface and class ids of the Office and Outlook object models the add-in
// talks to, and the add-in interface IDTExtensibility2 that hosts call.
#pragma once

#include "com/dispatch.h"

namespace quorvel {

using com::makeGuid;

// ---- The add-in interface (Office Add-in Designer library) -----------------

inline constexpr com::IID IID_IDTExtensibility2 = makeGuid("B65AD801-ABAF-11D0-BB8B-00A0C90F2744");

/// How the host connected the add-in.
enum ext_ConnectMode : int32_t {
  ext_cm_AfterStartup = 0,
  ext_cm_Startup = 1,
  ext_cm_External = 2,
  ext_cm_CommandLine = 3,
};

/// Why the host disconnects the add-in.
enum ext_DisconnectMode : int32_t {
  ext_dm_HostShutdown = 0,
  ext_dm_UserClosed = 1,
};

/// What an Office host calls on an add-in, in this slot order.
struct IDTExtensibility2 : com::IDispatch {
  static constexpr const com::IID& uuid = IID_IDTExtensibility2;
  using Base = com::IDispatch;
  virtual com::HRESULT OnConnection(com::IDispatch* Application, ext_ConnectMode ConnectMode,
                                    com::IDispatch* AddInInst, com::SAFEARRAY** custom) = 0;
  virtual com::HRESULT OnDisconnection(ext_DisconnectMode RemoveMode,
                                       com::SAFEARRAY** custom) = 0;
  virtual com::HRESULT OnAddInsUpdate(com::SAFEARRAY** custom) = 0;
  virtual com::HRESULT OnStartupComplete(com::SAFEARRAY** custom) = 0;
  virtual com::HRESULT OnBeginShutdown(com::SAFEARRAY** custom) = 0;
};

// ---- Host applications -------------------------------------------------------

inline constexpr com::IID IID_Word_Application = makeGuid("00020970-0000-0000-C000-000000000046");
inline constexpr com::IID IID_Excel_Application = makeGuid("000208D5-0000-0000-C000-000000000046");
inline constexpr com::IID IID_Outlook_Application = makeGuid("00063001-0000-0000-C000-000000000046");
inline constexpr com::IID IID_PowerPoint_Application =
    makeGuid("91493442-5A91-11CF-8700-00AA0060263B");

// ---- Outlook -------------------------------------------------------------------

inline constexpr com::CLSID CLSID_OutlookApplication = makeGuid("0006F03A-0000-0000-C000-000000000046");
inline constexpr com::IID IID_ApplicationEvents = makeGuid("0006304E-0000-0000-C000-000000000046");
inline constexpr com::IID IID_MailItem = makeGuid("00063034-0000-0000-C000-000000000046");
inline constexpr com::IID IID_AppointmentItem = makeGuid("00063033-0000-0000-C000-000000000046");
inline constexpr com::IID IID_TaskItem = makeGuid("00063035-0000-0000-C000-000000000046");

// ---- Command bars --------------------------------------------------------------

inline constexpr com::IID IID_CommandBarPopup = makeGuid("000C030A-0000-0000-C000-000000000046");
inline constexpr com::IID IID_CommandBarButton = makeGuid("000C030E-0000-0000-C000-000000000046");
inline constexpr com::IID IID_CommandBarButtonEvents =
    makeGuid("000C0351-0000-0000-C000-000000000046");

} // namespace quorvel
