// Without the mail library the system still runs: nothing is bound, nothing
// is called, nothing is filed, silently.
#include "Emapi/unEmail.h"
#include "Emapi/unMapiLib.h"
#include "Emapi/unMapiUtils.h"
#include "mailtestsupport.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(MissingLibrary, EntryPointsStayUnbound) {
  EXPECT_FALSE(mapiLibraryLoaded());
  const TMapiEntryPoints& ep = mapiEntryPoints();
  EXPECT_EQ(ep.MAPIInitialize, nullptr);
  EXPECT_EQ(ep.MAPILogonEx, nullptr);
  EXPECT_EQ(ep.MAPIAllocateBuffer, nullptr);
  EXPECT_EQ(ep.HrQueryAllRows, nullptr);
  EXPECT_EQ(ep.FreeProws, nullptr);
  EXPECT_EQ(ep.HrGetOneProp, nullptr);
  EXPECT_EQ(ep.WrapCompressedRTFStream, nullptr);
  EXPECT_EQ(mapiLibraryExport(mapi::kExportSetAddressDialogHandler), nullptr);
}

TEST(MissingLibrary, EveryOperationIsASilentNoOp) {
  test::TempMailHome home;
  {
    TkaMapi mapi(0);
    mapi.selAddrlist = {"kept [1] "};
    mapi.showAddressSelForm();
    EXPECT_EQ(mapi.selAddrlist, std::vector<std::string>{"kept [1] "});
    EXPECT_NE(mapi.MapiLogin(), 0);
    EXPECT_FALSE(mapi.hasSession());

    TkaEmail e;
    e.toAddr = {"+4917012345"};
    e.body = "text";
    mapi.CreateMessage(mapi::PR_IPM_SENTMAIL_ENTRYID, &e);
    mapi.CreateMessage(mapi::PR_DEFAULT_STORE, &e);
  }
  EXPECT_FALSE(std::filesystem::exists(home.root() / "data"));
  EXPECT_FALSE(std::filesystem::exists(home.root() / "config"));
}

} // namespace
} // namespace quorvel
