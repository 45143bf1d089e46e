// Identities of the Office and Outlook object models served by the host:
// interface and class ids of the published type libraries, dispatch ids,
// enumerations, and the add-in interface IDTExtensibility2.
#pragma once

#include "com/dispatch.h"

namespace quorvel::office {

using namespace quorvel::com;

// ---- Office library (command bars) ---------------------------------------

/// The Office type library.
inline constexpr GUID LIBID_Office = makeGuid("2DF8D04C-5BFA-101B-BDE5-00AA0044DE52");
/// `_CommandBars`.
inline constexpr IID IID_CommandBars = makeGuid("000C0302-0000-0000-C000-000000000046");
/// `CommandBar`.
inline constexpr IID IID_CommandBar = makeGuid("000C0304-0000-0000-C000-000000000046");
/// `CommandBarControls`.
inline constexpr IID IID_CommandBarControls = makeGuid("000C0306-0000-0000-C000-000000000046");
/// `CommandBarControl`.
inline constexpr IID IID_CommandBarControl = makeGuid("000C0308-0000-0000-C000-000000000046");
/// `CommandBarPopup`.
inline constexpr IID IID_CommandBarPopup = makeGuid("000C030A-0000-0000-C000-000000000046");
/// `_CommandBarButton`.
inline constexpr IID IID_CommandBarButton = makeGuid("000C030E-0000-0000-C000-000000000046");
/// `_CommandBarButtonEvents`, the event interface of a button.
inline constexpr IID DIID_CommandBarButtonEvents =
    makeGuid("000C0351-0000-0000-C000-000000000046");
/// Click(Ctrl, CancelDefault) on `_CommandBarButtonEvents`.
inline constexpr DISPID DISPID_CommandBarButtonClick = 1;

/// MsoControlType (the kinds this host serves).
inline constexpr int32_t msoControlButton = 1;
inline constexpr int32_t msoControlPopup = 10;
/// MsoButtonStyle.
inline constexpr int32_t msoButtonAutomatic = 0;
inline constexpr int32_t msoButtonIcon = 1;
inline constexpr int32_t msoButtonCaption = 2;
inline constexpr int32_t msoButtonIconAndCaption = 3;
/// MsoBarPosition.
inline constexpr int32_t msoBarLeft = 0;
inline constexpr int32_t msoBarTop = 1;
inline constexpr int32_t msoBarRight = 2;
inline constexpr int32_t msoBarBottom = 3;
inline constexpr int32_t msoBarFloating = 4;
inline constexpr int32_t msoBarPopup = 5;
inline constexpr int32_t msoBarMenuBar = 6;
/// MsoBarType.
inline constexpr int32_t msoBarTypeNormal = 0;
inline constexpr int32_t msoBarTypeMenuBar = 1;
inline constexpr int32_t msoBarTypePopup = 2;

// ---- Host applications ---------------------------------------------------

/// Word's `_Application`.
inline constexpr IID IID_WordApplication = makeGuid("00020970-0000-0000-C000-000000000046");
/// Excel's `_Application`.
inline constexpr IID IID_ExcelApplication = makeGuid("000208D5-0000-0000-C000-000000000046");
/// PowerPoint's `_Application`.
inline constexpr IID IID_PowerPointApplication =
    makeGuid("91493442-5A91-11CF-8700-00AA0060263B");
/// Outlook's `_Application`.
inline constexpr IID IID_OutlookApplication = makeGuid("00063001-0000-0000-C000-000000000046");

// ---- Outlook library -----------------------------------------------------

/// Outlook's application object ("Outlook.Application").
inline constexpr CLSID CLSID_OutlookApplication =
    makeGuid("0006F03A-0000-0000-C000-000000000046");
inline constexpr char kOutlookApplicationProgId[] = "Outlook.Application";
/// `ApplicationEvents`, the application's event interface.
inline constexpr IID DIID_ApplicationEvents = makeGuid("0006304E-0000-0000-C000-000000000046");
/// `_Explorer`.
inline constexpr IID IID_Explorer = makeGuid("00063003-0000-0000-C000-000000000046");
/// `_MailItem`.
inline constexpr IID IID_MailItem = makeGuid("00063034-0000-0000-C000-000000000046");
/// `_AppointmentItem`.
inline constexpr IID IID_AppointmentItem = makeGuid("00063033-0000-0000-C000-000000000046");
/// `_TaskItem`.
inline constexpr IID IID_TaskItem = makeGuid("00063035-0000-0000-C000-000000000046");

/// Dispatch ids of `ApplicationEvents`.
inline constexpr DISPID DISPID_ItemSend = 0xF002;
inline constexpr DISPID DISPID_NewMail = 0xF003;
inline constexpr DISPID DISPID_Reminder = 0xF004;
inline constexpr DISPID DISPID_OptionsPagesAdd = 0xF005;
inline constexpr DISPID DISPID_Startup = 0xF006;
inline constexpr DISPID DISPID_Quit = 0xF007;

/// OlImportance.
inline constexpr int32_t olImportanceLow = 0;
inline constexpr int32_t olImportanceNormal = 1;
inline constexpr int32_t olImportanceHigh = 2;
/// OlObjectClass of the items served.
inline constexpr int32_t olAppointment = 26;
inline constexpr int32_t olMail = 43;
inline constexpr int32_t olTask = 48;

// ---- Add-in interface ----------------------------------------------------

/// The Add-in Designer type library that publishes IDTExtensibility2.
inline constexpr GUID LIBID_AddInDesignerObjects =
    makeGuid("AC0714F2-3D04-11D1-AE7D-00A0C90F26F4");
inline constexpr IID IID_IDTExtensibility2 = makeGuid("B65AD801-ABAF-11D0-BB8B-00A0C90F2744");

enum ext_ConnectMode : int32_t {
  ext_cm_AfterStartup = 0,
  ext_cm_Startup = 1,
  ext_cm_External = 2,
  ext_cm_CommandLine = 3,
};

enum ext_DisconnectMode : int32_t {
  ext_dm_HostShutdown = 0,
  ext_dm_UserClosed = 1,
};

/// The interface an Office host calls on each add-in it loads (dual: the
/// vtable slots follow IDispatch's four). `custom` is an array of variants
/// passed by reference.
struct IDTExtensibility2 : IDispatch {
  static constexpr const IID& uuid = IID_IDTExtensibility2;
  using Base = IDispatch;
  virtual HRESULT QUORVEL_STDCALL OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode,
                                               IDispatch* AddInInst, SAFEARRAY** custom) = 0;
  virtual HRESULT QUORVEL_STDCALL OnDisconnection(ext_DisconnectMode RemoveMode,
                                                  SAFEARRAY** custom) = 0;
  virtual HRESULT QUORVEL_STDCALL OnAddInsUpdate(SAFEARRAY** custom) = 0;
  virtual HRESULT QUORVEL_STDCALL OnStartupComplete(SAFEARRAY** custom) = 0;
  virtual HRESULT QUORVEL_STDCALL OnBeginShutdown(SAFEARRAY** custom) = 0;
};

// ---- Dispatch interfaces of the served objects ---------------------------
// The host's objects are reached by late binding; these structs give each
// one its interface id for QueryInterface.

struct ICommandBars : IDispatch {
  static constexpr const IID& uuid = IID_CommandBars;
  using Base = IDispatch;
};
struct ICommandBar : IDispatch {
  static constexpr const IID& uuid = IID_CommandBar;
  using Base = IDispatch;
};
struct ICommandBarControls : IDispatch {
  static constexpr const IID& uuid = IID_CommandBarControls;
  using Base = IDispatch;
};
struct ICommandBarControl : IDispatch {
  static constexpr const IID& uuid = IID_CommandBarControl;
  using Base = IDispatch;
};
struct ICommandBarButton : ICommandBarControl {
  static constexpr const IID& uuid = IID_CommandBarButton;
  using Base = ICommandBarControl;
};
struct ICommandBarPopup : ICommandBarControl {
  static constexpr const IID& uuid = IID_CommandBarPopup;
  using Base = ICommandBarControl;
};
struct IOutlookApplication : IDispatch {
  static constexpr const IID& uuid = IID_OutlookApplication;
  using Base = IDispatch;
};
struct IExplorer : IDispatch {
  static constexpr const IID& uuid = IID_Explorer;
  using Base = IDispatch;
};
struct IMailItem : IDispatch {
  static constexpr const IID& uuid = IID_MailItem;
  using Base = IDispatch;
};
struct IAppointmentItem : IDispatch {
  static constexpr const IID& uuid = IID_AppointmentItem;
  using Base = IDispatch;
};
struct ITaskItem : IDispatch {
  static constexpr const IID& uuid = IID_TaskItem;
  using Base = IDispatch;
};

} // namespace quorvel::office
