// Filing sent batches in Sent Items through TkaMapi and the real mail
// library, read back with Python's own mail parser.
#include "Emapi/unEmail.h"
#include "Emapi/unMapiLib.h"
#include "Emapi/unMapiUtils.h"
#include "mailtestsupport.h"
#include "mapi/profile.h"
#include "util/unRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>

namespace quorvel {
namespace {

using test::MailFields;
using test::readMaildir;

int64_t nowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

TkaEmail smsRecord(std::vector<std::string> to, const std::string& text) {
  TkaEmail e;
  e.toAddr = std::move(to);
  e.fromAddr = "demo@127.0.0.1";
  e.subject = "[SMS] " + text;
  e.body = text;
  return e;
}

class StoreTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(mapiLibraryLoaded());
    saved = mapiEntryPoints();
    home.addContacts({"vcard/google_contacts.vcf", "vcard/apple_contacts.vcf"});
  }
  void TearDown() override { mapiEntryPoints() = saved; }

  std::vector<MailFields> sent() { return readMaildir(home.maildir(), "Sent Items"); }
  // Files \p e in Sent Items and reads back the one message it added.
  MailFields fileOne(TkaMapi& mapi, TkaEmail& e) {
    size_t before = sent().size();
    mapi.CreateMessage(mapi::PR_IPM_SENTMAIL_ENTRYID, &e);
    auto messages = sent();
    EXPECT_EQ(messages.size(), before + 1);
    return messages.size() == before + 1 ? messages.back() : MailFields{};
  }

  TMapiEntryPoints saved;
  test::TempMailHome home;
};

TEST_F(StoreTest, BatchToABareNumberIsFiledAsReadMail) {
  TkaMapi mapi(0);
  TkaEmail e = smsRecord({"+4917012345"}, "Hi there!");
  int64_t before = nowSeconds();
  mapi.CreateMessage(mapi::PR_IPM_SENTMAIL_ENTRYID, &e);
  int64_t after = nowSeconds();

  auto messages = sent();
  ASSERT_EQ(messages.size(), 1u);
  MailFields& m = messages[0];
  EXPECT_EQ(m["subdir"], "cur");
  EXPECT_EQ(m["flags"], "S");
  EXPECT_EQ(m["from"], "<demo@127.0.0.1>");
  EXPECT_EQ(m["to"], "group:+4917012345");
  EXPECT_EQ(m["cc"], "");
  EXPECT_EQ(m["subject"], "[SMS] Hi there!");
  EXPECT_EQ(m["body"], "Hi there!");
  EXPECT_EQ(m["content-type"], "text/plain");
  EXPECT_EQ(m["charset"], "utf-8");
  EXPECT_EQ(m["x-priority"], "3 (Normal)");
  EXPECT_EQ(m["importance"], "normal");
  EXPECT_GE(std::stoll(m["date"]), before);
  EXPECT_LE(std::stoll(m["date"]), after);
  EXPECT_EQ(m["defects"], "");
  EXPECT_TRUE(readMaildir(home.maildir(), "").empty()); // nothing in the inbox
}

TEST_F(StoreTest, FirstTextIsToAndTheRestAreCopies) {
  TkaMapi mapi(0);
  TkaEmail e = smsRecord({"Anna Berg [+49 170 1234567] ", "Bernd Ohnehandy [] ", " 0170 555 "},
                         "Meeting at 5");
  MailFields m = fileOne(mapi, e);
  EXPECT_EQ(m["to"], "group:Anna Berg [+49 170 1234567]");
  EXPECT_EQ(m["cc"], "group:Bernd Ohnehandy []\ngroup:0170 555");
  EXPECT_EQ(m["defects"], "");
}

TEST_F(StoreTest, TextsWithAtSignBecomeInternetRecipients) {
  TkaMapi mapi(0);
  TkaEmail e = smsRecord({"a@example.org", "b@example.org", "c@example.org"}, "x");
  MailFields m = fileOne(mapi, e);
  EXPECT_EQ(m["to"], "<a@example.org>");
  EXPECT_EQ(m["cc"], "<b@example.org>\n<c@example.org>");
}

TEST_F(StoreTest, HighPriorityIsMarked) {
  TkaMapi mapi(0);
  TkaEmail e = smsRecord({"5"}, "urgent");
  e.priority = 1;
  e.importance = 2;
  MailFields m = fileOne(mapi, e);
  EXPECT_EQ(m["x-priority"], "1 (Highest)");
  EXPECT_EQ(m["importance"], "high");
}

TEST_F(StoreTest, TwoSendsGiveTwoMessages) {
  TkaMapi mapi(0);
  TkaEmail first = smsRecord({"1"}, "first"), second = smsRecord({"2"}, "second");
  mapi.CreateMessage(mapi::PR_IPM_SENTMAIL_ENTRYID, &first);
  mapi.CreateMessage(mapi::PR_IPM_SENTMAIL_ENTRYID, &second);
  auto messages = sent();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0]["body"], "first");
  EXPECT_EQ(messages[1]["body"], "second");
}

TEST_F(StoreTest, EmptyRecipientListTakesTheLastDialogsPicks) {
  TkaMapi mapi(0);
  {
    test::ScriptedDialog dialog(
        test::pickByName({{"Hiroshi Tanaka"}, {"Ingrid Løvaas"}, {"Anna Berg"}}));
    mapi.showAddressSelForm();
  }
  TkaEmail e = smsRecord({}, "from the dialog");
  MailFields m = fileOne(mapi, e);
  // Contacts without an Internet address show with their mobile number.
  EXPECT_EQ(m["to"], "group:Hiroshi Tanaka [+81 90-1234-5678]");
  EXPECT_EQ(m["cc"], "Ingrid Løvaas<ingrid@nordlys.example>");
  EXPECT_EQ(m["bcc"], "Anna Berg<anna.berg@example.org>");
}

TEST_F(StoreTest, EmptyRecipientListWithoutADialogFilesNoRecipients) {
  TkaMapi mapi(0);
  TkaEmail e = smsRecord({}, "nobody");
  MailFields m = fileOne(mapi, e);
  EXPECT_EQ(m["to"], "");
  EXPECT_EQ(m["body"], "nobody");
}

TEST_F(StoreTest, TextIsKeptByteForByte) {
  TkaMapi mapi(0);
  const std::string texts[] = {"Grüße aus Köln – 😀", "two\nlines", "cr\r\nlf\tand tab", ""};
  for (const auto& t : texts) {
    TkaEmail e = smsRecord({"1"}, t);
    mapi.CreateMessage(mapi::PR_IPM_SENTMAIL_ENTRYID, &e);
  }
  auto messages = sent();
  ASSERT_EQ(messages.size(), std::size(texts));
  for (size_t i = 0; i < messages.size(); ++i) {
    EXPECT_EQ(messages[i]["body"], texts[i]);
    // Line breaks and tabs cannot stand in a header line: they become blanks.
    std::string subject = "[SMS] " + texts[i];
    std::replace_if(subject.begin(), subject.end(), [](char c) { return c == '\r' || c == '\n' || c == '\t'; }, ' ');
    EXPECT_EQ(messages[i]["subject"], subject) << i;
  }
}

TEST_F(StoreTest, ReceiveFolderGetsAnUnreadMessage) {
  TkaMapi mapi(0);
  TkaEmail e = smsRecord({"1"}, "incoming");
  mapi.CreateMessage(mapi::PR_DEFAULT_STORE, &e);
  auto inbox = readMaildir(home.maildir(), "");
  ASSERT_EQ(inbox.size(), 1u);
  EXPECT_EQ(inbox[0]["subdir"], "new");
  EXPECT_EQ(inbox[0]["flags"], "");
  EXPECT_TRUE(sent().empty());
}

TEST_F(StoreTest, FolderTheStoreDoesNotKnowFilesNothing) {
  TkaMapi mapi(0);
  TkaEmail e = smsRecord({"1"}, "lost");
  constexpr uint32_t kWastebasket = 0x35E30102;
  mapi.CreateMessage(kWastebasket, &e);
  EXPECT_TRUE(sent().empty());
  EXPECT_TRUE(readMaildir(home.maildir(), "").empty());
}

TEST_F(StoreTest, HundredsOfRecipientsAreAllFiled) {
  TkaMapi mapi(0);
  std::vector<std::string> to;
  for (int i = 0; i < 300; ++i)
    to.push_back("+49170" + std::to_string(1000000 + i));
  TkaEmail e = smsRecord(to, "many");
  MailFields m = fileOne(mapi, e);
  EXPECT_EQ(m["to"], "group:+491701000000");
  size_t copies = std::count(m["cc"].begin(), m["cc"].end(), '\n') + 1;
  EXPECT_EQ(copies, 299u);
}

TEST_F(StoreTest, ProfileCanNameAnExistingContactsFileAndMaildir) {
  namespace fs = std::filesystem;
  fs::path mail = home.root() / "Mail";
  for (const char* sub : {"cur", "new", "tmp", ".Sent/cur", ".Sent/new", ".Sent/tmp"})
    fs::create_directories(mail / sub);
  std::ofstream(mail / "cur" / "1700000000.M1P1.host:2,S")
      << "From: a@example.org\nSubject: old\n\nkept\n";
  std::string key = std::string(mapi::kProfilesKey) + "Mine\\";
  kaSaveToreg(mapi::kProfilesKey, "DefaultProfile", "Mine");
  kaSaveToreg(key, "AddressBook", (test::testDataDir() / "vcard/outlook_contact.vcf").string());
  kaSaveToreg(key, "MessageStore", mail.string());
  kaSaveToreg(key, "SentItemsFolder", "Sent");

  TkaMapi mapi(0);
  {
    test::ScriptedDialog dialog([](mapi::IAddressDialog& d) {
      EXPECT_EQ(d.contactCount(), 1u);
      d.pick(0, 0);
      return true;
    });
    mapi.showAddressSelForm();
  }
  EXPECT_EQ(mapi.selAddrlist, std::vector<std::string>{"Jörg Müller [0171 9876543] "});
  TkaEmail e = smsRecord({"Jörg Müller [0171 9876543] "}, "Hallo Jörg");
  mapi.CreateMessage(mapi::PR_IPM_SENTMAIL_ENTRYID, &e);

  auto filed = readMaildir(mail, "Sent");
  ASSERT_EQ(filed.size(), 1u);
  EXPECT_EQ(filed[0]["to"], "group:Jörg Müller [0171 9876543]");
  EXPECT_EQ(filed[0]["body"], "Hallo Jörg");
  auto inbox = readMaildir(mail, "");
  ASSERT_EQ(inbox.size(), 1u);
  EXPECT_EQ(inbox[0]["body"], "kept\n");
  EXPECT_FALSE(fs::exists(home.maildir())); // no default profile was made
}

// Entry points wrapped by the tests below; they forward to the library.
int rtfSyncCalls = 0;
mapi::LPRTFSYNC realRtfSync = nullptr;
mapi::LPHRGETONEPROP realGetOneProp = nullptr;
mapi::ULONG extraMask = 0;
mapi::ULONG wrongTag = 0;

mapi::HRESULT countingRtfSync(mapi::IMessage* m, mapi::ULONG flags, mapi::BOOL* updated) {
  ++rtfSyncCalls;
  return realRtfSync(m, flags, updated);
}

mapi::HRESULT alteredGetOneProp(mapi::IMAPIProp* obj, mapi::ULONG tag, mapi::SPropValue** out) {
  mapi::HRESULT hr = realGetOneProp(obj, tag, out);
  if (hr == 0 && tag == mapi::PR_STORE_SUPPORT_MASK) {
    (*out)->Value.ul |= extraMask;
    if (wrongTag)
      (*out)->ulPropTag = wrongTag;
  }
  return hr;
}

class WrappedStoreTest : public StoreTest {
protected:
  void SetUp() override {
    StoreTest::SetUp();
    rtfSyncCalls = 0;
    extraMask = 0;
    wrongTag = 0;
    realRtfSync = saved.RTFSync;
    realGetOneProp = saved.HrGetOneProp;
    mapiEntryPoints().RTFSync = countingRtfSync;
    mapiEntryPoints().HrGetOneProp = alteredGetOneProp;
  }
};

TEST_F(WrappedStoreTest, StoreWithoutRtfInStepGetsBodyAndSync) {
  TkaMapi mapi(0);
  TkaEmail e = smsRecord({"1"}, "plain and rtf");
  MailFields m = fileOne(mapi, e);
  EXPECT_EQ(rtfSyncCalls, 1);
  EXPECT_EQ(m["body"], "plain and rtf");
}

TEST_F(WrappedStoreTest, StoreKeepingRtfInStepGetsOnlyTheRtf) {
  extraMask = mapi::STORE_RTF_OK;
  TkaMapi mapi(0);
  TkaEmail e = smsRecord({"1"}, "only rtf");
  MailFields m = fileOne(mapi, e);
  EXPECT_EQ(rtfSyncCalls, 0);
  EXPECT_EQ(m["body"], "only rtf"); // taken from the RTF property
}

TEST_F(WrappedStoreTest, CompressedRtfWhenTheStoreAsksNotForUncompressed) {
  TkaMapi mapi(0);
  wrongTag = 0;
  extraMask = 0;
  mapiEntryPoints().HrGetOneProp = [](mapi::IMAPIProp* obj, mapi::ULONG tag,
                                      mapi::SPropValue** out) {
    mapi::HRESULT hr = realGetOneProp(obj, tag, out);
    if (hr == 0 && tag == mapi::PR_STORE_SUPPORT_MASK)
      (*out)->Value.ul = ((*out)->Value.ul & ~mapi::STORE_UNCOMPRESSED_RTF) | mapi::STORE_RTF_OK;
    return hr;
  };
  TkaEmail e = smsRecord({"1"}, "compressed on the way");
  MailFields m = fileOne(mapi, e);
  EXPECT_EQ(m["body"], "compressed on the way");
}

TEST_F(WrappedStoreTest, SupportMaskUnderAWrongTagRaisesTheAssertion) {
  wrongTag = 0x340E0003;
  TkaMapi mapi(0);
  TkaEmail e = smsRecord({"1"}, "never filed");
  try {
    mapi.CreateMessage(mapi::PR_IPM_SENTMAIL_ENTRYID, &e);
    FAIL() << "no assertion raised";
  } catch (const EAssertionFailed& error) {
    EXPECT_NE(std::string(error.what()).find("Assertion failure"), std::string::npos);
    EXPECT_NE(std::string(error.what()).find("unMapiUtils"), std::string::npos);
  }
  EXPECT_TRUE(sent().empty());
  // The object stays usable after the error.
  wrongTag = 0;
  mapi.CreateMessage(mapi::PR_IPM_SENTMAIL_ENTRYID, &e);
  EXPECT_EQ(sent().size(), 1u);
}

} // namespace
} // namespace quorvel
