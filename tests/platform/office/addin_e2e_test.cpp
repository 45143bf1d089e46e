// End to end: the host loads the registered add-in, its toolbar button shows
// the composer, and a calendar alarm falling due is texted through the
// bundled gateway.
#include "addinHostFixture.h"

#include "office/reminderspanel.h"

using namespace quorvel::officetest;

namespace {

[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

TEST_F(AddInHostTest, ToolbarOpensTheComposerAndAReminderIsTexted) {
  const int64_t now = quorvel::calendar::currentTime();
  writeCalendar(now);
  HostSession session(options, &clipboard);
  HostWindow window(session);
  window.show();
  window.startAddIns();
  settle();
  ASSERT_TRUE(window.messages().empty()) << window.messages().front().toStdString();

  auto* toolbar = window.findChild<QToolBar*>("KAVRI SMS");
  ASSERT_TRUE(toolbar);
  QAction* sms = findAction(toolbar->actions(), "SMS");
  ASSERT_TRUE(sms);
  EXPECT_EQ(otherWindow(&window), nullptr);
  sms->trigger();
  settle();
  QWidget* composer = otherWindow(&window);
  ASSERT_TRUE(composer);
  composer->hide();

  window.remindersPanel()->check(now);
  window.remindersPanel()->check(now + 3700);
  std::vector<quorvel::gateway::StoredMessage> sent =
      gateway->store().messages(std::nullopt, 10);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].recipient, "+36301112222");
  EXPECT_NE(sent[0].text.find(" Review (Room 2)  Review"), std::string::npos) << sent[0].text;

  window.close();
  settle();
  EXPECT_TRUE(session.stopping());
}

} // namespace
