// Declarations of the library's exported entry points, for its own sources
// and for tests that link the library directly. Callers of the system bind
// them by name instead (see mapix.h).
#pragma once

#include "mapi/mapidefs.h"
#include "mapi/mapidialog.h"

#define QUORVEL_MAPI_EXPORT extern "C" __attribute__((visibility("default")))

namespace quorvel::mapi {

QUORVEL_MAPI_EXPORT HRESULT MAPIInitialize(void* lpMapiInit);
QUORVEL_MAPI_EXPORT void MAPIUninitialize();
QUORVEL_MAPI_EXPORT HRESULT MAPILogonEx(ULONG_PTR ulUIParam, LPCSTR lpszProfileName,
                                        LPCSTR lpszPassword, ULONG ulFlags,
                                        IMAPISession** lppSession);
QUORVEL_MAPI_EXPORT SCODE MAPIAllocateBuffer(ULONG cbSize, void** lppBuffer);
QUORVEL_MAPI_EXPORT SCODE MAPIAllocateMore(ULONG cbSize, void* lpObject, void** lppBuffer);
QUORVEL_MAPI_EXPORT ULONG MAPIFreeBuffer(void* lpBuffer);

// The linker reads "@" as a version tag, so these three are linked under a
// placeholder name of the same length that the build renames afterwards.
QUORVEL_MAPI_EXPORT HRESULT HrQueryAllRows(IMAPITable* lpTable, const SPropTagArray* lpPropTags,
                                           const SRestriction* lpRestriction,
                                           const SSortOrderSet* lpSortOrderSet, LONG crowsMax,
                                           SRowSet** lppRows) __asm__("HrQueryAllRows_24");
QUORVEL_MAPI_EXPORT void FreeProws(SRowSet* lpRows) __asm__("FreeProws_4");
QUORVEL_MAPI_EXPORT HRESULT HrGetOneProp(IMAPIProp* lpMapiProp, ULONG ulPropTag,
                                         SPropValue** lppProp) __asm__("HrGetOneProp_12");

QUORVEL_MAPI_EXPORT HRESULT WrapCompressedRTFStream(IStream* lpCompressedRTFStream, ULONG ulFlags,
                                                    IStream** lpUncompressedRTFStream);
QUORVEL_MAPI_EXPORT HRESULT RTFSync(IMessage* lpMessage, ULONG ulFlags, BOOL* lpfMessageUpdated);

QUORVEL_MAPI_EXPORT void QuorvelSetAddressDialogHandler(AddressDialogHandler handler,
                                                        void* context);

} // namespace quorvel::mapi
