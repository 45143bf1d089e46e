// The library's type library: VaskAddin 1.0 with the add-in's dispatch
// interface IVaskAddin_ and its creatable class VaskAddin_.
#pragma once

#include "office/officeids.h"
#include "com/typelib.h"

namespace quorvel {

using com::makeGuid;
// The add-in interface as the hosts publish it.
using office::IDTExtensibility2;
using office::ext_ConnectMode;
using office::ext_DisconnectMode;
using office::ext_cm_AfterStartup;
using office::ext_cm_Startup;
using office::ext_cm_External;
using office::ext_cm_CommandLine;
using office::ext_dm_HostShutdown;
using office::ext_dm_UserClosed;

inline constexpr com::GUID LIBID_VaskAddin = makeGuid("200F7626-ECEC-4B36-9A67-7F1257096C01");
inline constexpr com::IID IID_IVaskAddin_ = makeGuid("F17749CF-B593-4888-B844-125ED0235391");
inline constexpr com::CLSID CLSID_VaskAddin_ = makeGuid("BC2445F7-9514-49B2-90E6-C22FA2A94F1C");

/// The add-in's own dual interface: IDTExtensibility2 and nothing more.
struct IVaskAddin_ : IDTExtensibility2 {
  static constexpr const com::IID& uuid = IID_IVaskAddin_;
  using Base = IDTExtensibility2;
};

/// The type library as the library carries it.
const com::TypeLibDesc& VaskAddinTypeLib();
/// IVaskAddin_'s description in it (names, dispatch ids, parameter types).
const com::InterfaceDesc& VaskAddinInterface();

} // namespace quorvel
