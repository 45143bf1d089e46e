// The type library source: library, interface and class of the add-in.
#include "addin/VaskAddin_TLB.h"

namespace quorvel {

using namespace com;

namespace {

constexpr VARTYPE kCustom = VT_BYREF | VT_ARRAY | VT_VARIANT;

TypeLibDesc buildTypeLib() {
  InterfaceDesc vask{
      .name = "IVaskAddin_",
      .iid = IID_IVaskAddin_,
      .members =
          {
              {.name = "OnConnection",
               .id = 1,
               .params = {{"Application", VT_DISPATCH},
                          {"ConnectMode", VT_I4},
                          {"AddInInst", VT_DISPATCH},
                          {"custom", kCustom}}},
              {.name = "OnDisconnection", .id = 2, .params = {{"RemoveMode", VT_I4}, {"custom", kCustom}}},
              {.name = "OnAddInsUpdate", .id = 3, .params = {{"custom", kCustom}}},
              {.name = "OnStartupComplete", .id = 4, .params = {{"custom", kCustom}}},
              {.name = "OnBeginShutdown", .id = 5, .params = {{"custom", kCustom}}},
          },
      .help = {},
      .dual = true,
      .base = office::IID_IDTExtensibility2,
  };
  return TypeLibDesc{
      .name = "VaskAddin",
      .help = "VaskAddin Library",
      .libid = LIBID_VaskAddin,
      .majorVersion = 1,
      .minorVersion = 0,
      .lcid = 0x0409,
      .interfaces = {vask},
      .coclasses = {{.name = "VaskAddin_", .clsid = CLSID_VaskAddin_,
                     .defaultInterface = IID_IVaskAddin_, .help = {}}},
  };
}

} // namespace

const TypeLibDesc& VaskAddinTypeLib() {
  static const TypeLibDesc lib = buildTypeLib();
  return lib;
}

const InterfaceDesc& VaskAddinInterface() { return VaskAddinTypeLib().interfaces.front(); }

} // namespace quorvel
