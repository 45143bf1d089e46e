// The mail shapes the system is built with against the Windows SDK's own
// declarations of MAPI: the table slot of every method the system calls and
// the layout of every structure it hands over must be the same.
// The system's header comes first: the SDK defines many of its names again
// as macros, which from there on stand for the SDK's.
#include "mapi/mapidefs.h"

#include <windows.h>

#include <mapidefs.h>
#include <mapix.h>

#include "platformCheck.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

namespace q = quorvel::mapi;

namespace {

// A virtual method's slot, read from its member pointer (Itanium C++ ABI:
// the pointer word holds one plus the slot's byte offset).
template <typename Member> std::ptrdiff_t slotOf(Member member) {
  struct {
    std::ptrdiff_t ptr, adj;
  } raw;
  static_assert(sizeof(Member) == sizeof raw);
  std::memcpy(&raw, &member, sizeof raw);
  return (raw.ptr - 1) / std::ptrdiff_t(sizeof(void*));
}

// Whether a method uses the Win32 calling convention, which 32-bit x86 code
// must use for MAPI's methods (64-bit code has only one convention).
template <typename T> struct IsWin32Call : std::bool_constant<sizeof(void*) == 8> {};
#ifndef _WIN64
template <typename R, typename C, typename... A>
struct IsWin32Call<R (__stdcall C::*)(A...)> : std::true_type {};
#endif

struct Slot {
  const char* method;
  std::ptrdiff_t ours, sdk;
  bool win32Call;
};

#define SLOT(iface, method)                                                                        \
  {                                                                                                \
#iface "::" #method, slotOf(&q::iface::method), slotOf(&::iface::method),                      \
        IsWin32Call < decltype(&q::iface::method)> ::value                                         \
  }

// The SDK's IUnknown adds a template QueryInterface: name the plain one.
using SdkQueryInterface = HRESULT (STDMETHODCALLTYPE ::IUnknown::*)(REFIID, void**);

const Slot kSlots[] = {
    {"IUnknown::QueryInterface", slotOf(&q::IUnknown::QueryInterface),
     slotOf(static_cast<SdkQueryInterface>(&::IUnknown::QueryInterface)),
     IsWin32Call<decltype(&q::IUnknown::QueryInterface)>::value},
    SLOT(IUnknown, AddRef),
    SLOT(IUnknown, Release),
    SLOT(IStream, Read),
    SLOT(IStream, Write),
    SLOT(IStream, Seek),
    SLOT(IStream, SetSize),
    SLOT(IStream, Commit),
    SLOT(IStream, Revert),
    SLOT(IMAPITable, SetColumns),
    SLOT(IMAPITable, GetRowCount),
    SLOT(IMAPITable, SeekRow),
    SLOT(IMAPITable, Restrict),
    SLOT(IMAPITable, SortTable),
    SLOT(IMAPITable, QueryRows),
    SLOT(IMAPIProp, SaveChanges),
    SLOT(IMAPIProp, GetProps),
    SLOT(IMAPIProp, OpenProperty),
    SLOT(IMAPIProp, SetProps),
    SLOT(IMessage, ModifyRecipients),
    SLOT(IMessage, SubmitMessage),
    SLOT(IMAPIFolder, CreateMessage),
    SLOT(IMsgStore, OpenEntry),
    SLOT(IMsgStore, GetReceiveFolder),
    SLOT(IAddrBook, OpenEntry),
    SLOT(IAddrBook, CreateOneOff),
    SLOT(IAddrBook, ResolveName),
    SLOT(IAddrBook, Address),
    SLOT(IMAPISession, GetMsgStoresTable),
    SLOT(IMAPISession, OpenMsgStore),
    SLOT(IMAPISession, OpenAddressBook),
    SLOT(IMAPISession, Logoff),
};

struct Layout {
  const char* what;
  std::size_t ours, sdk;
};

#define SIZE(type)                                                                                 \
  { "sizeof " #type, sizeof(q::type), sizeof(::type) }
#define FIELD(type, field)                                                                         \
  { #type "::" #field, offsetof(q::type, field), offsetof(::type, field) }

const Layout kLayouts[] = {
    SIZE(SBinary),
    SIZE(SPropValue),
    FIELD(SPropValue, Value),
    SIZE(SRow),
    FIELD(SRow, lpProps),
    FIELD(SRowSet, aRow),
    SIZE(ADRENTRY),
    FIELD(ADRENTRY, rgPropVals),
    FIELD(ADRLIST, aEntries),
    SIZE(ADRPARM),
    FIELD(ADRPARM, lpszCaption),
    FIELD(ADRPARM, lppszDestTitles),
    FIELD(ADRPARM, lpulDestComps),
    FIELD(ADRPARM, lpHierRestriction),
    FIELD(SPropTagArray, aulPropTag),
    FIELD(SSortOrderSet, aSort),
    FIELD(SRestriction, res),
    SIZE(SPropertyRestriction),
};

} // namespace

int main() {
  for (const Slot& s : kSlots)
    if (!CHECK(s.ours == s.sdk))
      std::fprintf(stderr, "  %s: slot %d, the SDK's %d\n", s.method, int(s.ours), int(s.sdk));
  for (const Slot& s : kSlots)
    if (!CHECK(s.win32Call)) std::fprintf(stderr, "  %s: not the Win32 convention\n", s.method);
  for (const Layout& l : kLayouts)
    if (!CHECK(l.ours == l.sdk))
      std::fprintf(stderr, "  %s: %u, the SDK's %u\n", l.what, unsigned(l.ours), unsigned(l.sdk));
  return quorvel::wintest::failures();
}
