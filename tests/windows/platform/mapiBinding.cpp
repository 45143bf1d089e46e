// The binding of MAPI32.DLL by export name, and the mail object when the
// library is missing or no mail provider is installed: every operation
// fails quietly, nothing crashes.
// Usage: mapi_binding present|absent
#include "Emapi/unEmail.h"
#include "Emapi/unMapiLib.h"
#include "Emapi/unMapiUtils.h"

#include "platformCheck.h"

#include <cstring>

namespace {

void exportsBound(bool present) {
  const quorvel::TMapiEntryPoints& ep = quorvel::mapiEntryPoints();
  CHECK(quorvel::mapiLibraryLoaded() == present);
  CHECK((ep.MAPIInitialize != nullptr) == present);
  CHECK((ep.MAPILogonEx != nullptr) == present);
  CHECK((ep.MAPIFreeBuffer != nullptr) == present);
  // The decorated names, as the 32-bit library exports them (the 64-bit one
  // has them undecorated).
  CHECK((ep.HrQueryAllRows != nullptr) == present);
  CHECK((ep.FreeProws != nullptr) == present);
  CHECK((ep.HrGetOneProp != nullptr) == present);
  CHECK(quorvel::mapiLibraryExport("NoSuchExport@8") == nullptr);
}

void failsQuietly() {
  quorvel::TkaMapi mapi(0);
  CHECK(quorvel::mapi::HR_FAILED(mapi.MapiLogin()));
  CHECK(!mapi.hasSession());
  CHECK(quorvel::mapi::HR_FAILED(mapi.mapiOpenAddressBook()));
  mapi.showAddressSelForm();
  CHECK(!mapi.lastAddressSelConfirmed() && mapi.selAddrlist.empty());
  CHECK(quorvel::mapi::HR_FAILED(mapi.OpenDefaultMessageStore()));
  quorvel::TkaEmail sent;
  sent.toAddr = {"Ann [+15550100] "};
  sent.body = "text";
  mapi.CreateMessage(quorvel::mapi::PR_IPM_SENTMAIL_ENTRYID, &sent);
  CHECK(!mapi.hasMessageStore());
}

} // namespace

int main(int argc, char** argv) {
  const bool present = argc > 1 && std::strcmp(argv[1], "present") == 0;
  exportsBound(present);
  failsQuietly();
  return quorvel::wintest::failures();
}
