// Entry points of the mail library, as exported by name, and the pointer
// types a caller binds them to.
#pragma once

#include "mapi/mapidefs.h"

namespace quorvel::mapi {

/// The file the system loads, and the exact names it binds.
inline constexpr const char* kMapiLibraryName = "libquorvel-mapi32.so";
inline constexpr const char* kExportMAPIInitialize = "MAPIInitialize";
inline constexpr const char* kExportMAPIUninitialize = "MAPIUninitialize";
inline constexpr const char* kExportMAPILogonEx = "MAPILogonEx";
inline constexpr const char* kExportMAPIAllocateBuffer = "MAPIAllocateBuffer";
inline constexpr const char* kExportMAPIFreeBuffer = "MAPIFreeBuffer";
inline constexpr const char* kExportHrQueryAllRows = "HrQueryAllRows@24";
inline constexpr const char* kExportFreeProws = "FreeProws@4";
inline constexpr const char* kExportHrGetOneProp = "HrGetOneProp@12";
inline constexpr const char* kExportWrapCompressedRTFStream = "WrapCompressedRTFStream";
inline constexpr const char* kExportRTFSync = "RTFSync";

using LPMAPIINITIALIZE = HRESULT (*)(void* lpMapiInit);
using LPMAPIUNINITIALIZE = void (*)();
using LPMAPILOGONEX = HRESULT (*)(ULONG_PTR ulUIParam, LPCSTR lpszProfileName,
                                  LPCSTR lpszPassword, ULONG ulFlags, IMAPISession** lppSession);
using LPMAPIALLOCATEBUFFER = SCODE (*)(ULONG cbSize, void** lppBuffer);
using LPMAPIALLOCATEMORE = SCODE (*)(ULONG cbSize, void* lpObject, void** lppBuffer);
using LPMAPIFREEBUFFER = ULONG (*)(void* lpBuffer);
using LPHRQUERYALLROWS = HRESULT (*)(IMAPITable* lpTable, const SPropTagArray* lpPropTags,
                                     const SRestriction* lpRestriction,
                                     const SSortOrderSet* lpSortOrderSet, LONG crowsMax,
                                     SRowSet** lppRows);
using LPFREEPROWS = void (*)(SRowSet* lpRows);
using LPHRGETONEPROP = HRESULT (*)(IMAPIProp* lpMapiProp, ULONG ulPropTag,
                                   SPropValue** lppProp);
using LPWRAPCOMPRESSEDRTFSTREAM = HRESULT (*)(IStream* lpCompressedRTFStream, ULONG ulFlags,
                                              IStream** lpUncompressedRTFStream);
using LPRTFSYNC = HRESULT (*)(IMessage* lpMessage, ULONG ulFlags, BOOL* lpfMessageUpdated);

} // namespace quorvel::mapi
