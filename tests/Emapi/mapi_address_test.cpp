// The address-book half of TkaMapi against the real mail library: logon, the
// dialog (answered by script) and the recipient texts it leaves behind.
#include "Emapi/unMapiLib.h"
#include "Emapi/unMapiUtils.h"
#include "mailtestsupport.h"
#include "mapi/profile.h"
#include "util/unRegistry.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quorvel {
namespace {

using test::pickByName;
using test::ScriptedDialog;
using Texts = std::vector<std::string>;

class AddressTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(mapiLibraryLoaded());
    home.addContacts({"vcard/google_contacts.vcf", "vcard/apple_contacts.vcf",
                      "vcard/android_export.vcf"});
  }
  test::TempMailHome home;
};

TEST_F(AddressTest, PickedContactsBecomeNameAndMobileTexts) {
  TkaMapi mapi(0);
  ScriptedDialog dialog(pickByName({{"Anna Berg"}, {"Bernd Ohnehandy", "Ayşe Öztürk"}}));
  mapi.showAddressSelForm();
  EXPECT_EQ(dialog.calls, 1);
  // A contact without a mobile number keeps its empty brackets; business and
  // home numbers are never used instead.
  EXPECT_EQ(mapi.selAddrlist, (Texts{"Anna Berg [+49 170 1234567] ", "Bernd Ohnehandy [] ",
                                     "Ayşe Öztürk [+905321234567] "}));
}

TEST_F(AddressTest, DialogShowsCaptionWellsAndFocus) {
  TkaMapi mapi(0);
  ScriptedDialog dialog([](mapi::IAddressDialog& d) {
    EXPECT_EQ(d.caption(), "Select Names");
    EXPECT_EQ(d.wellsTitle(), "Message Recipients");
    EXPECT_EQ(d.wellCount(), 3u);
    EXPECT_EQ(d.wellTitle(0), "To");
    EXPECT_EQ(d.wellTitle(1), "CC");
    EXPECT_EQ(d.wellTitle(2), "BCC");
    EXPECT_EQ(d.focusWell(), 0u);
    EXPECT_EQ(d.contactCount(), 11u);
    return false;
  });
  mapi.showAddressSelForm();
  EXPECT_EQ(dialog.calls, 1);
}

TEST_F(AddressTest, SameContactInTwoWellsGivesTwoTexts) {
  TkaMapi mapi(0);
  ScriptedDialog dialog(pickByName({{"Hiroshi Tanaka"}, {}, {"Hiroshi Tanaka"}}));
  mapi.showAddressSelForm();
  EXPECT_EQ(mapi.selAddrlist,
            (Texts{"Hiroshi Tanaka [+81 90-1234-5678] ", "Hiroshi Tanaka [+81 90-1234-5678] "}));
}

TEST_F(AddressTest, TextsFollowTheWellsInOrderToCcBcc) {
  TkaMapi mapi(0);
  ScriptedDialog dialog([](mapi::IAddressDialog& d) {
    d.pick(2, d.findContact("Acme, Inc. Support"));
    d.pick(1, d.findContact("Nikos Papadopoulos"));
    d.pick(0, d.findContact("Carla Díaz"));
    return true;
  });
  mapi.showAddressSelForm();
  ASSERT_EQ(mapi.selAddrlist.size(), 3u);
  EXPECT_EQ(mapi.selAddrlist[0], "Carla Díaz [+34 600 111 222] ");
  EXPECT_EQ(mapi.selAddrlist[1], "Nikos Papadopoulos [+306912345678] ");
  EXPECT_EQ(mapi.selAddrlist[2], "Acme, Inc. Support [+1 (555) 010-9999] ");
}

TEST_F(AddressTest, CancelKeepsTheEarlierSelection) {
  TkaMapi mapi(0);
  {
    ScriptedDialog dialog(pickByName({{"Anna Berg"}}));
    mapi.showAddressSelForm();
  }
  const mapi::ADRLIST* before = mapi.lastAddressList();
  ScriptedDialog cancel([](mapi::IAddressDialog& d) {
    d.pick(0, d.findContact("Bernd Ohnehandy")); // changed, then cancelled
    return false;
  });
  mapi.showAddressSelForm();
  EXPECT_EQ(cancel.calls, 1);
  EXPECT_EQ(mapi.selAddrlist, (Texts{"Anna Berg [+49 170 1234567] "}));
  EXPECT_EQ(mapi.lastAddressList(), before);
}

TEST_F(AddressTest, NextDialogOpensWithThePreviousPicks) {
  TkaMapi mapi(0);
  {
    ScriptedDialog first(pickByName({{"Anna Berg"}, {"Ingrid Løvaas", "Мария Иванова"}}));
    mapi.showAddressSelForm();
  }
  std::vector<Texts> seen;
  ScriptedDialog second([&](mapi::IAddressDialog& d) {
    for (size_t w = 0; w < d.wellCount(); ++w)
      seen.push_back(d.wellNames(w));
    d.remove(1, 0); // drop Ingrid, keep the rest
    return true;
  });
  mapi.showAddressSelForm();
  EXPECT_EQ(seen, (std::vector<Texts>{{"Anna Berg"}, {"Ingrid Løvaas", "Мария Иванова"}, {}}));
  EXPECT_EQ(mapi.selAddrlist,
            (Texts{"Anna Berg [+49 170 1234567] ", "Мария Иванова [+79161234567] "}));
}

TEST_F(AddressTest, OkWithNobodyEmptiesTheSelection) {
  TkaMapi mapi(0);
  {
    ScriptedDialog first(pickByName({{"Anna Berg"}}));
    mapi.showAddressSelForm();
  }
  ScriptedDialog empty([](mapi::IAddressDialog& d) {
    d.remove(0, 0);
    return true;
  });
  mapi.showAddressSelForm();
  EXPECT_TRUE(mapi.selAddrlist.empty());
}

TEST_F(AddressTest, SearchIgnoresCaseAndFindsNumbers) {
  TkaMapi mapi(0);
  std::vector<Texts> found;
  ScriptedDialog dialog([&](mapi::IAddressDialog& d) {
    for (const char* query : {"BER", "øv", "ÖZT", "+47 912", "nordlys", ""}) {
      Texts names;
      for (size_t c : d.search(query))
        names.push_back(d.contactName(c));
      found.push_back(names);
    }
    return false;
  });
  mapi.showAddressSelForm();
  ASSERT_EQ(found.size(), 6u);
  EXPECT_EQ(found[0], (Texts{"Anna Berg", "Bernd Ohnehandy"}));
  EXPECT_EQ(found[1], (Texts{"Ingrid Løvaas"}));
  EXPECT_EQ(found[2], (Texts{"Ayşe Öztürk"}));
  EXPECT_EQ(found[3], (Texts{"Ingrid Løvaas"}));
  EXPECT_EQ(found[4], (Texts{"Ingrid Løvaas"}));
  EXPECT_EQ(found[5].size(), 11u);
}

TEST_F(AddressTest, ContactsAddedWhileRunningAppearInTheNextDialog) {
  TkaMapi mapi(0);
  size_t before = 0, after = 0;
  {
    ScriptedDialog dialog([&](mapi::IAddressDialog& d) {
      before = d.contactCount();
      return false;
    });
    mapi.showAddressSelForm();
  }
  home.addContacts({"vcard/vcard4_bom.vcf"});
  ScriptedDialog dialog([&](mapi::IAddressDialog& d) {
    after = d.contactCount();
    return false;
  });
  mapi.showAddressSelForm();
  EXPECT_EQ(after, before + 2);
}

TEST_F(AddressTest, FirstLogonCreatesTheDefaultProfile) {
  TkaMapi mapi(0);
  ASSERT_EQ(mapi.MapiLogin(), 0);
  EXPECT_TRUE(mapi.hasSession());
  std::string key = std::string(mapi::kProfilesKey) + "Quorvel\\";
  EXPECT_EQ(kaLoadFromreg(mapi::kProfilesKey, "DefaultProfile", ""), "Quorvel");
  EXPECT_EQ(kaLoadFromreg(key, "MessageStore", ""), home.maildir().string());
  EXPECT_EQ(kaLoadFromreg(key, "AddressBook", ""), home.contactsDir().string());
  EXPECT_TRUE(std::filesystem::is_directory(home.maildir() / "cur"));
  EXPECT_TRUE(std::filesystem::is_directory(home.maildir() / ".Sent Items" / "new"));
  EXPECT_EQ(mapi.MapiLogin(), 0); // the session is kept
}

TEST_F(AddressTest, FailedLogonShowsNothingAndIsTriedAgain) {
  // Data home blocked by a file: the default profile cannot be set up.
  std::filesystem::path blocked = home.root() / "blocked";
  std::ofstream(blocked) << "x";
  ::setenv("XDG_DATA_HOME", blocked.c_str(), 1);
  TkaMapi mapi(0);
  ScriptedDialog dialog(pickByName({{"Anna Berg"}}));
  mapi.showAddressSelForm();
  EXPECT_EQ(dialog.calls, 0);
  EXPECT_FALSE(mapi.hasSession());
  EXPECT_TRUE(mapi.selAddrlist.empty());

  ::setenv("XDG_DATA_HOME", (home.root() / "data").c_str(), 1);
  mapi.showAddressSelForm();
  EXPECT_EQ(dialog.calls, 1);
  EXPECT_EQ(mapi.selAddrlist, (Texts{"Anna Berg [+49 170 1234567] "}));
}

TEST_F(AddressTest, NoWindowWithoutAnApplicationObject) {
  // No handler and no application object in this process: the dialog fails
  // with a status and nothing changes.
  TkaMapi mapi(0);
  mapi.showAddressSelForm();
  EXPECT_TRUE(mapi.hasAddressBook());
  EXPECT_TRUE(mapi.selAddrlist.empty());
  EXPECT_EQ(mapi.lastAddressList(), nullptr);
}

TEST_F(AddressTest, EntriesWithoutAddressBookEntryGiveEmptyNumbers) {
  TkaMapi mapi(0);
  ASSERT_EQ(mapi.MapiLogin(), 0);
  ASSERT_EQ(mapi.mapiOpenAddressBook(), 0);
  std::string name = "Typed Name";
  mapi::SPropValue values[1] = {};
  values[0].ulPropTag = mapi::PR_DISPLAY_NAME;
  values[0].Value.lpszA = name.data();
  mapi::ADRENTRY entry{0, 1, values};
  std::string shown = "unchanged";
  EXPECT_EQ(mapi.getContactProperty(entry, mapi::PR_MOBILE_TELEPHONE_NUMBER, shown), "");
  EXPECT_EQ(shown, "Typed Name");

  mapi::ADRENTRY bare{0, 0, nullptr};
  shown = "unchanged";
  EXPECT_EQ(mapi.getContactProperty(bare, mapi::PR_MOBILE_TELEPHONE_NUMBER, shown), "");
  EXPECT_EQ(shown, "unchanged");
}

} // namespace
} // namespace quorvel
