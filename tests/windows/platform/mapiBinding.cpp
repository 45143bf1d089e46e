// The binding of MAPI32.DLL by export name, and the mail object when the
// library is missing or no mail provider is installed: every operation
// fails quietly, nothing crashes.
// Usage: mapi_binding present|absent|stand-in
// (stand-in: a MAPI32.DLL of our own beside the program, whose logon fails)
#include "Emapi/unEmail.h"
#include "Emapi/unMapiLib.h"
#include "Emapi/unMapiUtils.h"

#include "platformCheck.h"

#include <cstring>

#include <windows.h>

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

// The stand-in library exports the 64-bit names undecorated, as the real
// 64-bit library does: the binding still finds them for the decorated names.
// Its logon checks what it is given and fails; the call must come back
// whole (on 32-bit x86 that needs the Win32 calling convention).
void standIn() {
  const quorvel::TMapiEntryPoints& ep = quorvel::mapiEntryPoints();
  CHECK(ep.HrQueryAllRows != nullptr);
  CHECK(reinterpret_cast<void*>(ep.HrQueryAllRows) ==
        quorvel::mapiLibraryExport("HrQueryAllRows@24"));
  quorvel::TkaMapi mapi(0x1234);
  const quorvel::mapi::HRESULT hr = mapi.MapiLogin();
  if (!CHECK(hr == quorvel::mapi::MAPI_E_LOGON_FAILED))
    std::fprintf(stderr, "  logon: 0x%08lx\n", static_cast<unsigned long>(hr));
  CHECK(!mapi.hasSession());
  using Logons = long(QUORVEL_MAPI_CALL*)(long*);
  auto logons = reinterpret_cast<Logons>(quorvel::mapiLibraryExport("FakeMapiLogons"));
  long withExpectedArguments = 0;
  const long count = logons ? logons(&withExpectedArguments) : -1;
  if (!CHECK(count == 1 && withExpectedArguments == 1))
    std::fprintf(stderr, "  logons: %ld, %ld with the expected arguments\n", count,
                 withExpectedArguments);
}

// The library's 8-bit text is in the ANSI code page; the system's is UTF-8.
void textForTheLibrary() {
  const std::string utf8 = "Gr\xC3\xBC\xC3\x9F"
                           "e";
  CHECK(quorvel::fromMapiText(quorvel::toMapiText(utf8).c_str()) == utf8);
  CHECK(quorvel::fromMapiText(nullptr).empty());
  if (::GetACP() == 1252)
    CHECK(quorvel::toMapiText(utf8) == "Gr\xFC\xDF"
                                       "e");
}

} // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  if (std::strcmp(mode, "stand-in") == 0) {
    standIn();
    return quorvel::wintest::failures();
  }
  exportsBound(std::strcmp(mode, "present") == 0);
  failsQuietly();
  textForTheLibrary();
  return quorvel::wintest::failures();
}
