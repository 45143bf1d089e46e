// The mail library as a loader sees it: the exact export names, nothing
// more, and the entry points working together without the system's code.
#include "mapi/mapidialog.h"
#include "mapi/mapix.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <stdlib.h>

namespace quorvel::mapi {
namespace {

class Library : public testing::Test {
protected:
  static void SetUpTestSuite() {
    handle = ::dlopen(QUORVEL_MAPI_LIBRARY, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    ASSERT_NE(handle, nullptr) << ::dlerror();
  }
  template <typename F> static F entry(const char* name) {
    return reinterpret_cast<F>(::dlsym(handle, name));
  }
  static void* handle;
};
void* Library::handle = nullptr;

TEST_F(Library, ExportsEveryEntryPointUnderItsExactName) {
  for (const char* name :
       {kExportMAPIInitialize, kExportMAPIUninitialize, kExportMAPILogonEx,
        kExportMAPIAllocateBuffer, kExportMAPIFreeBuffer, kExportHrQueryAllRows, kExportFreeProws,
        kExportHrGetOneProp, kExportWrapCompressedRTFStream, kExportRTFSync,
        kExportSetAddressDialogHandler})
    EXPECT_NE(::dlsym(handle, name), nullptr) << name;
  EXPECT_STREQ(kExportHrQueryAllRows, "HrQueryAllRows@24");
  EXPECT_STREQ(kExportFreeProws, "FreeProws@4");
  EXPECT_STREQ(kExportHrGetOneProp, "HrGetOneProp@12");
}

TEST_F(Library, ExportsNothingElse) {
  for (const char* name : {"HrQueryAllRows", "HrQueryAllRows_24", "FreeProws_4", "HrGetOneProp",
                           "_ZN7quorvel4mapi11parseVCardsERKNSt7__cxx1112basic_stringIcSt11char_"
                           "traitsIcESaIcEEES8_",
                           "_ZN7quorvel13kaLoadFromregERKNSt7__cxx1112basic_stringIcSt11char_"
                           "traitsIcESaIcEEES7_S7_"})
    EXPECT_EQ(::dlsym(handle, name), nullptr) << name;
}

TEST_F(Library, LogonNeedsInitialisationAndFindsTheDefaultStore) {
  char dir[] = "/tmp/quorvel-lib-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  ::setenv("XDG_CONFIG_HOME", (std::string(dir) + "/config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (std::string(dir) + "/data").c_str(), 1);

  auto init = entry<LPMAPIINITIALIZE>(kExportMAPIInitialize);
  auto uninit = entry<LPMAPIUNINITIALIZE>(kExportMAPIUninitialize);
  auto logon = entry<LPMAPILOGONEX>(kExportMAPILogonEx);
  auto queryAll = entry<LPHRQUERYALLROWS>(kExportHrQueryAllRows);
  auto freeRows = entry<LPFREEPROWS>(kExportFreeProws);

  IMAPISession* session = nullptr;
  EXPECT_EQ(logon(0, nullptr, nullptr, 0x6B, &session), MAPI_E_NOT_INITIALIZED);
  EXPECT_EQ(session, nullptr);
  ASSERT_EQ(init(nullptr), S_OK);
  EXPECT_EQ(logon(0, "No Such Profile", nullptr, 0x20, &session), MAPI_E_LOGON_FAILED);
  ASSERT_EQ(logon(0, nullptr, nullptr, 0x6B, &session), S_OK);

  IMAPITable* table = nullptr;
  ASSERT_EQ(session->GetMsgStoresTable(0, &table), S_OK);
  SPropTagArray columns[2]{};
  columns[0].cValues = 2;
  columns[0].aulPropTag[0] = PR_ENTRYID;
  (&columns[0].aulPropTag[0])[1] = PR_DEFAULT_STORE;
  for (bool wanted : {true, false}) {
    SPropValue value{};
    value.ulPropTag = PR_DEFAULT_STORE;
    value.Value.b = wanted;
    SRestriction r{};
    r.rt = RES_PROPERTY;
    r.res.resProperty = {RELOP_EQ, PR_DEFAULT_STORE, &value};
    SRowSet* rows = nullptr;
    ASSERT_EQ(queryAll(table, columns, &r, nullptr, 0, &rows), S_OK);
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows->cRows, wanted ? 1u : 0u);
    if (wanted) {
      ASSERT_EQ(rows->aRow[0].cValues, 2u);
      EXPECT_EQ(rows->aRow[0].lpProps[0].ulPropTag, PR_ENTRYID);
      IMsgStore* store = nullptr;
      const SBinary& id = rows->aRow[0].lpProps[0].Value.bin;
      ASSERT_EQ(session->OpenMsgStore(0, id.cb, reinterpret_cast<ENTRYID*>(id.lpb), nullptr,
                                      MDB_WRITE, &store),
                S_OK);
      store->Release();
    }
    freeRows(rows);
  }
  table->Release();
  session->Release();
  uninit();
  std::filesystem::remove_all(dir);
}

} // namespace
} // namespace quorvel::mapi
