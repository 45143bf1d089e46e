// The mail library's entry points as the system keeps them, bound by export
// name the same way whichever loader found the library.
#include "Emapi/unMapiLib.h"

namespace quorvel {
namespace {

template <typename F> void bindExport(F& slot, const TMapiExportFinder& find, const char* name) {
  slot = reinterpret_cast<F>(find(name));
}

} // namespace

TMapiEntryPoints& mapiEntryPoints() {
  static TMapiEntryPoints ep;
  return ep;
}

void bindMapiEntryPoints(const TMapiExportFinder& find) {
  TMapiEntryPoints& ep = mapiEntryPoints();
  bindExport(ep.MAPIInitialize, find, mapi::kExportMAPIInitialize);
  bindExport(ep.MAPIUninitialize, find, mapi::kExportMAPIUninitialize);
  bindExport(ep.MAPILogonEx, find, mapi::kExportMAPILogonEx);
  bindExport(ep.MAPIAllocateBuffer, find, mapi::kExportMAPIAllocateBuffer);
  bindExport(ep.MAPIFreeBuffer, find, mapi::kExportMAPIFreeBuffer);
  bindExport(ep.HrQueryAllRows, find, mapi::kExportHrQueryAllRows);
  bindExport(ep.FreeProws, find, mapi::kExportFreeProws);
  bindExport(ep.HrGetOneProp, find, mapi::kExportHrGetOneProp);
  bindExport(ep.WrapCompressedRTFStream, find, mapi::kExportWrapCompressedRTFStream);
  bindExport(ep.RTFSync, find, mapi::kExportRTFSync);
}

} // namespace quorvel
