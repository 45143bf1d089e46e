// The entry points of the mail library, bound by export name when the
// program starts and released when it ends.
#pragma once

#include "mapi/mapix.h"

#include <string>

namespace quorvel {

/// One pointer per entry point the system uses; a pointer stays null when
/// the library or that export is missing, and is then never called.
struct TMapiEntryPoints {
  mapi::LPMAPIINITIALIZE MAPIInitialize = nullptr;
  mapi::LPMAPIUNINITIALIZE MAPIUninitialize = nullptr;
  mapi::LPMAPILOGONEX MAPILogonEx = nullptr;
  mapi::LPMAPIALLOCATEBUFFER MAPIAllocateBuffer = nullptr;
  mapi::LPMAPIFREEBUFFER MAPIFreeBuffer = nullptr;
  mapi::LPHRQUERYALLROWS HrQueryAllRows = nullptr;
  mapi::LPFREEPROWS FreeProws = nullptr;
  mapi::LPHRGETONEPROP HrGetOneProp = nullptr;
  mapi::LPWRAPCOMPRESSEDRTFSTREAM WrapCompressedRTFStream = nullptr;
  mapi::LPRTFSYNC RTFSync = nullptr;
};

/// The bound entry points. Tests may replace single pointers to watch or
/// change what the system gets from the library.
TMapiEntryPoints& mapiEntryPoints();
/// True when the library was found and loaded at start.
bool mapiLibraryLoaded();
/// Any export of the loaded library by name, or null.
void* mapiLibraryExport(const char* exportName);

/// The system's UTF-8 text as the library's 8-bit calls take it: unchanged
/// on Linux; on Windows in the ANSI code page, as MAPI32.DLL reads 8-bit
/// text (a character that page lacks becomes "?").
std::string toMapiText(const std::string& text);
/// 8-bit text from the library as the system's UTF-8; null reads as "".
std::string fromMapiText(const char* text);

} // namespace quorvel
