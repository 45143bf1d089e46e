// Entry points of the mail library, as exported by name, and the pointer
// types a caller binds them to.
#pragma once

#include "mapi/mapidefs.h"

namespace quorvel::mapi {

/// The file the system loads, and the exact names it binds.
#ifdef _WIN32
inline constexpr const char* kMapiLibraryName = "MAPI32.DLL";
#else
inline constexpr const char* kMapiLibraryName = "libquorvel-mapi32.so";
#endif
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

using LPMAPIINITIALIZE = HRESULT(QUORVEL_MAPI_CALL*)(void* lpMapiInit);
using LPMAPIUNINITIALIZE = void(QUORVEL_MAPI_CALL*)();
using LPMAPILOGONEX = HRESULT(QUORVEL_MAPI_CALL*)(ULONG_PTR ulUIParam, LPCSTR lpszProfileName,
                                                  LPCSTR lpszPassword, ULONG ulFlags,
                                                  IMAPISession** lppSession);
using LPMAPIALLOCATEBUFFER = SCODE(QUORVEL_MAPI_CALL*)(ULONG cbSize, void** lppBuffer);
using LPMAPIALLOCATEMORE = SCODE(QUORVEL_MAPI_CALL*)(ULONG cbSize, void* lpObject,
                                                     void** lppBuffer);
using LPMAPIFREEBUFFER = ULONG(QUORVEL_MAPI_CALL*)(void* lpBuffer);
using LPHRQUERYALLROWS = HRESULT(QUORVEL_MAPI_CALL*)(IMAPITable* lpTable,
                                                     const SPropTagArray* lpPropTags,
                                                     const SRestriction* lpRestriction,
                                                     const SSortOrderSet* lpSortOrderSet,
                                                     LONG crowsMax, SRowSet** lppRows);
using LPFREEPROWS = void(QUORVEL_MAPI_CALL*)(SRowSet* lpRows);
using LPHRGETONEPROP = HRESULT(QUORVEL_MAPI_CALL*)(IMAPIProp* lpMapiProp, ULONG ulPropTag,
                                                   SPropValue** lppProp);
using LPWRAPCOMPRESSEDRTFSTREAM = HRESULT(QUORVEL_MAPI_CALL*)(IStream* lpCompressedRTFStream,
                                                              ULONG ulFlags,
                                                              IStream** lpUncompressedRTFStream);
using LPRTFSYNC = HRESULT(QUORVEL_MAPI_CALL*)(IMessage* lpMessage, ULONG ulFlags,
                                              BOOL* lpfMessageUpdated);

} // namespace quorvel::mapi
