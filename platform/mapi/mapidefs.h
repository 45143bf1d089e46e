// Shapes of the mail interface: scalar types, status codes, property tags,
// property values, rows, address lists and the reference-counted interfaces.
#pragma once

#include <cstddef>
#include <cstdint>

// Functions and methods of the Windows library use the Win32 calling
// convention, which only 32-bit x86 tells apart from the C one.
#if defined(_WIN32) && !defined(_WIN64)
#define QUORVEL_MAPI_CALL __stdcall
#else
#define QUORVEL_MAPI_CALL
#endif

namespace quorvel::mapi {

using BYTE = uint8_t;
using ULONG = uint32_t;
using LONG = int32_t;
using BOOL = int32_t;
using HRESULT = int32_t; ///< 0 success, negative failure, positive warning
using SCODE = int32_t;
using ULONG_PTR = uintptr_t; ///< window handles and other pointer-sized values
using LPSTR = char*;
using LPCSTR = const char*;

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
using IID = GUID;
using LPCIID = const IID*;

constexpr bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
    return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i])
      return false;
  return true;
}

/// 100-nanosecond intervals since 1601-01-01 UTC, split in two halves.
struct FILETIME {
  uint32_t dwLowDateTime;
  uint32_t dwHighDateTime;
};

// ---- Status codes --------------------------------------------------------

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT MAPI_E_CALL_FAILED = HRESULT(0x80004005);
constexpr HRESULT MAPI_E_INTERFACE_NOT_SUPPORTED = HRESULT(0x80004002);
constexpr HRESULT MAPI_E_NOT_ENOUGH_MEMORY = HRESULT(0x8007000E);
constexpr HRESULT MAPI_E_INVALID_PARAMETER = HRESULT(0x80070057);
constexpr HRESULT MAPI_E_NO_ACCESS = HRESULT(0x80070005);
constexpr HRESULT MAPI_E_NO_SUPPORT = HRESULT(0x80040102);
constexpr HRESULT MAPI_E_BAD_CHARWIDTH = HRESULT(0x80040103);
constexpr HRESULT MAPI_E_INVALID_ENTRYID = HRESULT(0x80040107);
constexpr HRESULT MAPI_E_NOT_FOUND = HRESULT(0x8004010F);
constexpr HRESULT MAPI_E_LOGON_FAILED = HRESULT(0x80040111);
constexpr HRESULT MAPI_E_USER_CANCEL = HRESULT(0x80040113);
constexpr HRESULT MAPI_E_DISK_ERROR = HRESULT(0x80040116);
constexpr HRESULT MAPI_E_CORRUPT_DATA = HRESULT(0x8004011B);
constexpr HRESULT MAPI_E_UNKNOWN_ENTRYID = HRESULT(0x80040201);
constexpr HRESULT MAPI_E_TABLE_TOO_BIG = HRESULT(0x80040403);
constexpr HRESULT MAPI_E_NOT_INITIALIZED = HRESULT(0x80040605);
constexpr HRESULT MAPI_W_ERRORS_RETURNED = HRESULT(0x00040380);

constexpr bool HR_FAILED(HRESULT hr) { return hr < 0; }

// ---- Property tags -------------------------------------------------------

constexpr ULONG PT_UNSPECIFIED = 0x0000;
constexpr ULONG PT_NULL = 0x0001;
constexpr ULONG PT_I2 = 0x0002;
constexpr ULONG PT_LONG = 0x0003;
constexpr ULONG PT_ERROR = 0x000A;
constexpr ULONG PT_BOOLEAN = 0x000B;
constexpr ULONG PT_OBJECT = 0x000D;
constexpr ULONG PT_I8 = 0x0014;
constexpr ULONG PT_STRING8 = 0x001E;
constexpr ULONG PT_UNICODE = 0x001F;
constexpr ULONG PT_SYSTIME = 0x0040;
constexpr ULONG PT_BINARY = 0x0102;

constexpr ULONG PROP_TYPE(ULONG tag) { return tag & 0xFFFF; }
constexpr ULONG PROP_ID(ULONG tag) { return tag >> 16; }
constexpr ULONG PROP_TAG(ULONG type, ULONG id) { return (id << 16) | type; }
constexpr ULONG CHANGE_PROP_TYPE(ULONG tag, ULONG type) { return (tag & 0xFFFF0000u) | type; }

constexpr ULONG PR_MESSAGE_CLASS = 0x001A001E;
constexpr ULONG PR_IMPORTANCE = 0x00170003;
constexpr ULONG PR_PRIORITY = 0x00260003;
constexpr ULONG PR_SUBJECT = 0x0037001E;
constexpr ULONG PR_CLIENT_SUBMIT_TIME = 0x00390040;
constexpr ULONG PR_SENT_REPRESENTING_NAME = 0x0042001E;
constexpr ULONG PR_RECIPIENT_TYPE = 0x0C150003;
constexpr ULONG PR_MESSAGE_DELIVERY_TIME = 0x0E060040;
constexpr ULONG PR_MESSAGE_FLAGS = 0x0E070003;
constexpr ULONG PR_SUBMIT_FLAGS = 0x0E140003;
constexpr ULONG PR_RTF_IN_SYNC = 0x0E1F000B;
constexpr ULONG PR_OBJECT_TYPE = 0x0FFE0003;
constexpr ULONG PR_ENTRYID = 0x0FFF0102;
constexpr ULONG PR_BODY = 0x1000001E;
constexpr ULONG PR_RTF_COMPRESSED = 0x10090102;
constexpr ULONG PR_CREATION_TIME = 0x30070040;
constexpr ULONG PR_DISPLAY_NAME = 0x3001001E;
constexpr ULONG PR_ADDRTYPE = 0x3002001E;
constexpr ULONG PR_EMAIL_ADDRESS = 0x3003001E;
constexpr ULONG PR_DEFAULT_STORE = 0x3400000B;
constexpr ULONG PR_STORE_SUPPORT_MASK = 0x340D0003;
constexpr ULONG PR_IPM_SENTMAIL_ENTRYID = 0x35E40102;
constexpr ULONG PR_GIVEN_NAME = 0x3A06001E;
constexpr ULONG PR_BUSINESS_TELEPHONE_NUMBER = 0x3A08001E;
constexpr ULONG PR_HOME_TELEPHONE_NUMBER = 0x3A09001E;
constexpr ULONG PR_SURNAME = 0x3A11001E;
constexpr ULONG PR_COMPANY_NAME = 0x3A16001E;
constexpr ULONG PR_MOBILE_TELEPHONE_NUMBER = 0x3A1C001E;

// ---- Flags ---------------------------------------------------------------

constexpr ULONG MAPI_LOGON_UI = 0x00000001;
constexpr ULONG MAPI_NEW_SESSION = 0x00000002;
constexpr ULONG MAPI_ALLOW_OTHERS = 0x00000008;
constexpr ULONG MAPI_EXTENDED = 0x00000020;
constexpr ULONG MAPI_USE_DEFAULT = 0x00000040;

constexpr ULONG MAPI_MODIFY = 0x00000001;
constexpr ULONG MAPI_CREATE = 0x00000002;
constexpr ULONG MAPI_DEFERRED_ERRORS = 0x00000008;
constexpr ULONG MDB_WRITE = 0x00000004;
constexpr ULONG KEEP_OPEN_READONLY = 0x00000001;
constexpr ULONG KEEP_OPEN_READWRITE = 0x00000002;

constexpr ULONG STGM_READ = 0x00000000;
constexpr ULONG STGM_WRITE = 0x00000001;
constexpr ULONG STGM_READWRITE = 0x00000002;
constexpr ULONG STGM_CREATE = 0x00001000;

constexpr ULONG MAPI_TO = 1;
constexpr ULONG MAPI_CC = 2;
constexpr ULONG MAPI_BCC = 3;

constexpr ULONG MODRECIP_ADD = 0x00000002;
constexpr ULONG MODRECIP_MODIFY = 0x00000004;
constexpr ULONG MODRECIP_REMOVE = 0x00000008;

constexpr ULONG MSGFLAG_READ = 0x00000001;
constexpr ULONG MSGFLAG_UNMODIFIED = 0x00000002;
constexpr ULONG SUBMITFLAG_LOCKED = 0x00000001;

constexpr ULONG STORE_ENTRYID_UNIQUE = 0x00000001;
constexpr ULONG STORE_READONLY = 0x00000002;
constexpr ULONG STORE_SEARCH_OK = 0x00000004;
constexpr ULONG STORE_MODIFY_OK = 0x00000008;
constexpr ULONG STORE_CREATE_OK = 0x00000010;
constexpr ULONG STORE_ATTACH_OK = 0x00000020;
constexpr ULONG STORE_OLE_OK = 0x00000040;
constexpr ULONG STORE_SUBMIT_OK = 0x00000080;
constexpr ULONG STORE_NOTIFY_OK = 0x00000100;
constexpr ULONG STORE_MV_PROPS_OK = 0x00000200;
constexpr ULONG STORE_CATEGORIZE_OK = 0x00000400;
constexpr ULONG STORE_RTF_OK = 0x00000800;
constexpr ULONG STORE_RESTRICTION_OK = 0x00001000;
constexpr ULONG STORE_SORT_OK = 0x00002000;
constexpr ULONG STORE_UNCOMPRESSED_RTF = 0x00008000;

constexpr ULONG RTF_SYNC_RTF_CHANGED = 0x00000001;
constexpr ULONG RTF_SYNC_BODY_CHANGED = 0x00000002;

constexpr ULONG DIALOG_MODAL = 0x00000001;
constexpr ULONG DIALOG_SDI = 0x00000002;
constexpr ULONG AB_SELECTONLY = 0x00000010;

constexpr ULONG MAPI_STORE = 0x00000001;
constexpr ULONG MAPI_ADDRBOOK = 0x00000002;
constexpr ULONG MAPI_FOLDER = 0x00000003;
constexpr ULONG MAPI_MESSAGE = 0x00000005;
constexpr ULONG MAPI_MAILUSER = 0x00000006;

constexpr ULONG RES_PROPERTY = 0x00000004;
constexpr ULONG RELOP_LT = 0, RELOP_LE = 1, RELOP_GT = 2, RELOP_GE = 3, RELOP_EQ = 4,
                RELOP_NE = 5;

constexpr ULONG STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2;
#ifdef _WIN32
using BOOKMARK = ULONG_PTR;
#else
using BOOKMARK = ULONG;
#endif
constexpr BOOKMARK BOOKMARK_BEGINNING = 0, BOOKMARK_CURRENT = 1, BOOKMARK_END = 2;

// ---- Interface ids -------------------------------------------------------

inline constexpr IID IID_IUnknown = {0x00000000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IStream = {0x0000000C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMAPISession = {0x00020300, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMAPITable = {0x00020301, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMAPIProp = {0x00020303, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMsgStore = {0x00020306, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMessage = {0x00020307, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IAddrBook = {0x00020309, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMailUser = {0x0002030A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMAPIFolder = {0x0002030C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// ---- Values, rows and address lists ----------------------------------------

struct ENTRYID {
  BYTE abFlags[4];
  BYTE ab[1];
};

struct SBinary {
  ULONG cb;
  BYTE* lpb;
};

union PV {
  int16_t i;
  LONG l;
  ULONG ul;
  uint16_t b; ///< boolean
  int64_t li;
  FILETIME ft;
  char* lpszA;
  SBinary bin;
  SCODE err;
  LONG x;
};

struct SPropValue {
  ULONG ulPropTag;
  ULONG dwAlignPad;
  PV Value;
};

struct SPropTagArray {
  ULONG cValues;
  ULONG aulPropTag[1];
};

struct SPropProblem {
  ULONG ulIndex;
  ULONG ulPropTag;
  SCODE scode;
};

struct SPropProblemArray {
  ULONG cProblem;
  SPropProblem aProblem[1];
};

struct SRow {
  ULONG ulAdrEntryPad;
  ULONG cValues;
  SPropValue* lpProps;
};

struct SRowSet {
  ULONG cRows;
  SRow aRow[1];
};

struct ADRENTRY {
  ULONG ulReserved1;
  ULONG cValues;
  SPropValue* rgPropVals;
};

struct ADRLIST {
  ULONG cEntries;
  ADRENTRY aEntries[1];
};

struct SPropertyRestriction {
  ULONG relop;
  ULONG ulPropTag;
  SPropValue* lpProp;
};

/// Only property restrictions are understood; other kinds fail with
/// MAPI_E_NO_SUPPORT.
struct SRestriction {
  ULONG rt;
  union {
    SPropertyRestriction resProperty;
  } res;
};

struct SSortOrder {
  ULONG ulPropTag;
  ULONG ulOrder;
};

struct SSortOrderSet {
  ULONG cSorts;
  ULONG cCategories;
  ULONG cExpanded;
  SSortOrder aSort[1];
};

/// Byte counts of the variable-length records for \p n elements.
constexpr size_t CbNewSPropTagArray(size_t n) {
  return offsetof(SPropTagArray, aulPropTag) + n * sizeof(ULONG);
}
constexpr size_t CbNewSRowSet(size_t n) { return offsetof(SRowSet, aRow) + n * sizeof(SRow); }
constexpr size_t CbNewADRLIST(size_t n) {
  return offsetof(ADRLIST, aEntries) + n * sizeof(ADRENTRY);
}
constexpr size_t CbNewSPropProblemArray(size_t n) {
  return offsetof(SPropProblemArray, aProblem) + n * sizeof(SPropProblem);
}

using LPFNDISMISS = void (*)(ULONG_PTR ulUIParam, void* lpvContext);

/// Parameters of the address dialog.
struct ADRPARM {
  ULONG cbABContEntryID;
  ENTRYID* lpABContEntryID;
  ULONG ulFlags;
  void* lpReserved;
  ULONG ulHelpContext;
  LPCSTR lpszHelpFileName;
  void* lpfnABSDI;
  LPFNDISMISS lpfnDismiss;
  void* lpvDismissContext;
  LPCSTR lpszCaption;
  LPCSTR lpszNewEntryTitle;
  LPCSTR lpszDestWellsTitle;
  ULONG cDestFields;
  ULONG nDestFieldFocus;
  LPCSTR* lppszDestTitles;
  ULONG* lpulDestComps;
  SRestriction* lpContRestriction;
  SRestriction* lpHierRestriction;
};

// ---- Interfaces ------------------------------------------------------------
// Objects are reference counted: every interface pointer handed out carries
// one reference that its receiver gives back with Release. Out-parameters of
// memory (property arrays, rows, entry ids) are allocated with
// MAPIAllocateBuffer and freed by the receiver with MAPIFreeBuffer.

// On Windows these are the interfaces of MAPI32.DLL's own objects: each
// declares every slot of the real table up to the last one the system calls,
// in the real order, with the Win32 calling convention. The slots the system
// never calls are placeholders without arguments, and exist only there.
#ifdef _WIN32
#define QUORVEL_MAPI_METHOD(type) virtual type QUORVEL_MAPI_CALL
#define QUORVEL_MAPI_UNUSED(name) virtual HRESULT QUORVEL_MAPI_CALL name() = 0;
#else
#define QUORVEL_MAPI_METHOD(type) virtual type
#define QUORVEL_MAPI_UNUSED(name)
#endif

struct IUnknown {
  QUORVEL_MAPI_METHOD(HRESULT) QueryInterface(const IID& riid, void** ppv) = 0;
  QUORVEL_MAPI_METHOD(ULONG) AddRef() = 0;
  QUORVEL_MAPI_METHOD(ULONG) Release() = 0;

protected:
  ~IUnknown() = default;
};

struct IStream : IUnknown {
  QUORVEL_MAPI_METHOD(HRESULT) Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
  QUORVEL_MAPI_METHOD(HRESULT) Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
  QUORVEL_MAPI_METHOD(HRESULT) Seek(int64_t move, ULONG origin, uint64_t* newPosition) = 0;
  QUORVEL_MAPI_METHOD(HRESULT) SetSize(uint64_t newSize) = 0;
  QUORVEL_MAPI_UNUSED(CopyTo)
  QUORVEL_MAPI_METHOD(HRESULT) Commit(ULONG grfCommitFlags) = 0;
  QUORVEL_MAPI_METHOD(HRESULT) Revert() = 0;

protected:
  ~IStream() = default;
};

struct IMAPITable : IUnknown {
  QUORVEL_MAPI_UNUSED(GetLastError)
  QUORVEL_MAPI_UNUSED(Advise)
  QUORVEL_MAPI_UNUSED(Unadvise)
  QUORVEL_MAPI_UNUSED(GetStatus)
  QUORVEL_MAPI_METHOD(HRESULT) SetColumns(const SPropTagArray* lpPropTagArray, ULONG ulFlags) = 0;
  QUORVEL_MAPI_UNUSED(QueryColumns)
  QUORVEL_MAPI_METHOD(HRESULT) GetRowCount(ULONG ulFlags, ULONG* lpulCount) = 0;
  QUORVEL_MAPI_METHOD(HRESULT) SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) = 0;
  QUORVEL_MAPI_UNUSED(SeekRowApprox)
  QUORVEL_MAPI_UNUSED(QueryPosition)
  QUORVEL_MAPI_UNUSED(FindRow)
  QUORVEL_MAPI_METHOD(HRESULT) Restrict(const SRestriction* lpRestriction, ULONG ulFlags) = 0;
  QUORVEL_MAPI_UNUSED(CreateBookmark)
  QUORVEL_MAPI_UNUSED(FreeBookmark)
  QUORVEL_MAPI_METHOD(HRESULT) SortTable(const SSortOrderSet* lpSortCriteria, ULONG ulFlags) = 0;
  QUORVEL_MAPI_UNUSED(QuerySortOrder)
  QUORVEL_MAPI_METHOD(HRESULT) QueryRows(LONG lRowCount, ULONG ulFlags, SRowSet** lppRows) = 0;

protected:
  ~IMAPITable() = default;
};

struct IMAPIProp : IUnknown {
  QUORVEL_MAPI_UNUSED(GetLastError)
  QUORVEL_MAPI_METHOD(HRESULT) SaveChanges(ULONG ulFlags) = 0;
  /// All properties when \p lpPropTagArray is null; otherwise one value per
  /// tag, a missing one as PT_ERROR with MAPI_W_ERRORS_RETURNED.
  QUORVEL_MAPI_METHOD(HRESULT) GetProps(const SPropTagArray* lpPropTagArray, ULONG ulFlags, ULONG* lpcValues,
                         SPropValue** lppPropArray) = 0;
  QUORVEL_MAPI_UNUSED(GetPropList)
  QUORVEL_MAPI_METHOD(HRESULT) OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions,
                             ULONG ulFlags, IUnknown** lppUnk) = 0;
  QUORVEL_MAPI_METHOD(HRESULT) SetProps(ULONG cValues, const SPropValue* lpPropArray,
                         SPropProblemArray** lppProblems) = 0;
  QUORVEL_MAPI_UNUSED(DeleteProps)
  QUORVEL_MAPI_UNUSED(CopyTo)
  QUORVEL_MAPI_UNUSED(CopyProps)
  QUORVEL_MAPI_UNUSED(GetNamesFromIDs)
  QUORVEL_MAPI_UNUSED(GetIDsFromNames)

protected:
  ~IMAPIProp() = default;
};

struct IMailUser : IMAPIProp {
protected:
  ~IMailUser() = default;
};

struct IMessage : IMAPIProp {
  QUORVEL_MAPI_UNUSED(GetAttachmentTable)
  QUORVEL_MAPI_UNUSED(OpenAttach)
  QUORVEL_MAPI_UNUSED(CreateAttach)
  QUORVEL_MAPI_UNUSED(DeleteAttach)
  QUORVEL_MAPI_UNUSED(GetRecipientTable)
  QUORVEL_MAPI_METHOD(HRESULT) ModifyRecipients(ULONG ulFlags, const ADRLIST* lpMods) = 0;
  QUORVEL_MAPI_METHOD(HRESULT) SubmitMessage(ULONG ulFlags) = 0;

protected:
  ~IMessage() = default;
};

struct IMAPIFolder : IMAPIProp {
  // The container's slots come first.
  QUORVEL_MAPI_UNUSED(GetContentsTable)
  QUORVEL_MAPI_UNUSED(GetHierarchyTable)
  QUORVEL_MAPI_UNUSED(OpenEntry)
  QUORVEL_MAPI_UNUSED(SetSearchCriteria)
  QUORVEL_MAPI_UNUSED(GetSearchCriteria)
  QUORVEL_MAPI_METHOD(HRESULT) CreateMessage(LPCIID lpInterface, ULONG ulFlags, IMessage** lppMessage) = 0;

protected:
  ~IMAPIFolder() = default;
};

struct IMsgStore : IMAPIProp {
  QUORVEL_MAPI_UNUSED(Advise)
  QUORVEL_MAPI_UNUSED(Unadvise)
  QUORVEL_MAPI_UNUSED(CompareEntryIDs)
  QUORVEL_MAPI_METHOD(HRESULT) OpenEntry(ULONG cbEntryID, const ENTRYID* lpEntryID, LPCIID lpInterface,
                          ULONG ulFlags, ULONG* lpulObjType, IUnknown** lppUnk) = 0;
  QUORVEL_MAPI_UNUSED(SetReceiveFolder)
  QUORVEL_MAPI_METHOD(HRESULT) GetReceiveFolder(LPCSTR lpszMessageClass, ULONG ulFlags, ULONG* lpcbEntryID,
                                 ENTRYID** lppEntryID, LPSTR* lppszExplicitClass) = 0;

protected:
  ~IMsgStore() = default;
};

struct IAddrBook : IMAPIProp {
  QUORVEL_MAPI_METHOD(HRESULT) OpenEntry(ULONG cbEntryID, const ENTRYID* lpEntryID, LPCIID lpInterface,
                          ULONG ulFlags, ULONG* lpulObjType, IUnknown** lppUnk) = 0;
  QUORVEL_MAPI_UNUSED(CompareEntryIDs)
  QUORVEL_MAPI_UNUSED(Advise)
  QUORVEL_MAPI_UNUSED(Unadvise)
  QUORVEL_MAPI_METHOD(HRESULT) CreateOneOff(LPCSTR lpszName, LPCSTR lpszAdrType, LPCSTR lpszAddress,
                             ULONG ulFlags, ULONG* lpcbEntryID, ENTRYID** lppEntryID) = 0;
  QUORVEL_MAPI_UNUSED(NewEntry)
  QUORVEL_MAPI_METHOD(HRESULT) ResolveName(ULONG_PTR ulUIParam, ULONG ulFlags, LPCSTR lpszNewEntryTitle,
                            ADRLIST* lpAdrList) = 0;
  /// Shows the address dialog. On success the list in *lppAdrList (which may
  /// be null) is freed and replaced by the new selection.
  QUORVEL_MAPI_METHOD(HRESULT) Address(ULONG_PTR* lpulUIParam, ADRPARM* lpAdrParms, ADRLIST** lppAdrList) = 0;

protected:
  ~IAddrBook() = default;
};

struct IMAPISession : IUnknown {
  QUORVEL_MAPI_UNUSED(GetLastError)
  QUORVEL_MAPI_METHOD(HRESULT) GetMsgStoresTable(ULONG ulFlags, IMAPITable** lppTable) = 0;
  QUORVEL_MAPI_METHOD(HRESULT) OpenMsgStore(ULONG_PTR ulUIParam, ULONG cbEntryID, const ENTRYID* lpEntryID,
                             LPCIID lpInterface, ULONG ulFlags, IMsgStore** lppMDB) = 0;
  QUORVEL_MAPI_METHOD(HRESULT) OpenAddressBook(ULONG_PTR ulUIParam, LPCIID lpInterface, ULONG ulFlags,
                                IAddrBook** lppAdrBook) = 0;
  QUORVEL_MAPI_UNUSED(OpenProfileSection)
  QUORVEL_MAPI_UNUSED(GetStatusTable)
  QUORVEL_MAPI_UNUSED(OpenEntry)
  QUORVEL_MAPI_UNUSED(CompareEntryIDs)
  QUORVEL_MAPI_UNUSED(Advise)
  QUORVEL_MAPI_UNUSED(Unadvise)
  QUORVEL_MAPI_UNUSED(MessageOptions)
  QUORVEL_MAPI_UNUSED(QueryDefaultMessageOpt)
  QUORVEL_MAPI_UNUSED(EnumAdrTypes)
  QUORVEL_MAPI_UNUSED(QueryIdentity)
  QUORVEL_MAPI_METHOD(HRESULT) Logoff(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) = 0;

protected:
  ~IMAPISession() = default;
};

} // namespace quorvel::mapi
