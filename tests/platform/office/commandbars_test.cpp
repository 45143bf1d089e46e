// The command-bar object model as add-ins reach it by late binding: the menu
// bar, Item/Count/Add, button properties, faces, Click and customisation.
#include "officeTestUtil.h"

#include "com/automation.h"
#include "sandbox.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace quorvel::officetest;

namespace {

ComPtr<IDispatch> disp(const Variant& v) { return v.toDispatch(); }

HRESULT failureOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const ComError& e) {
    return e.hr();
  }
  return S_OK;
}

TEST(CommandBars, MenuBarStartsWithFileAndNewHoldingMailMessage) {
  BarsFixture f;
  ComPtr<IDispatch> menu = disp(getProperty(f.bars.get(), "ActiveMenuBar"));
  ComPtr<IDispatch> file = disp(getProperty(disp(getProperty(menu.get(), "Controls")).get(),
                                            "Item", {Variant(1)}));
  EXPECT_EQ(getProperty(file.get(), "Caption").toString(), "File");
  EXPECT_TRUE(file.query<ICommandBarPopup>());
  ComPtr<IDispatch> newMenu =
      disp(getProperty(disp(getProperty(file.get(), "Controls")).get(), "Item", {Variant(1)}));
  ComPtr<IDispatch> items = disp(getProperty(newMenu.get(), "Controls"));
  ComPtr<IDispatch> first = disp(getProperty(items.get(), "Item", {Variant(1)}));
  EXPECT_EQ(getProperty(first.get(), "caption").toString(), "Mail Message");
  EXPECT_TRUE(first.query<ICommandBarButton>());
  EXPECT_FALSE(first.query<ICommandBarPopup>());
}

TEST(CommandBars, AddPlacesControlsAndBarsAndRefusesBadArguments) {
  BarsFixture f;
  CommandBarControls& news = *f.bars->activeMenuBar()->controls().item(1)->controls()->item(1)->controls();
  int32_t before = news.count();
  ComPtr<IDispatch> added = disp(callMethod(&news, "Add",
      {Variant(msoControlButton), Variant::missing(), Variant::missing(), Variant(2),
       Variant::missing()}));
  EXPECT_EQ(news.count(), before + 1);
  EXPECT_EQ(news.item(2)->dispatch(), added.get());
  EXPECT_EQ(getProperty(added.get(), "Index").toInt(), 2);

  ComPtr<IDispatch> bar = disp(callMethod(f.bars.get(), "Add", {Variant("KAVRI SMS")}));
  EXPECT_FALSE(getProperty(bar.get(), "Visible").toBool());
  EXPECT_EQ(getProperty(f.bars.get(), "Count").toInt(), 3);
  EXPECT_EQ(getProperty(bar.get(), "Name").toString(), "KAVRI SMS");
  ComPtr<IDispatch> barControls = disp(getProperty(bar.get(), "Controls"));
  EXPECT_EQ(getProperty(barControls.get(), "Count").toInt(), 0);

  struct Case {
    const char* what;
    std::function<void()> call;
  } cases[] = {
      {"before past the end", [&] { callMethod(&news, "Add", {Variant(1), Variant::missing(), Variant::missing(), Variant(99)}); }},
      {"unsupported type", [&] { callMethod(&news, "Add", {Variant(4)}); }},
      {"item 0", [&] { getProperty(&news, "Item", {Variant(0)}); }},
      {"bar item past the end", [&] { getProperty(f.bars.get(), "Item", {Variant(9)}); }},
      {"second bar of a name", [&] { callMethod(f.bars.get(), "Add", {Variant("kavri sms")}); }},
      {"bad button style", [&] { putProperty(added.get(), "Style", Variant(99)); }},
  };
  for (const Case& c : cases) EXPECT_EQ(failureOf(c.call), E_INVALIDARG) << c.what;
}

TEST(CommandBars, ButtonPropertiesChangeTheModelAndTellTheHost) {
  BarsFixture f;
  CommandBar* bar = f.bars->add("KAVRI SMS", msoBarTop, false, false);
  CommandBarControl* c = bar->controls().add(msoControlButton, 1, std::nullopt, false);
  int changesBefore = f.changes;
  putProperty(c, "Caption", Variant("SMS"));
  putProperty(c, "Style", Variant(msoButtonIconAndCaption));
  putProperty(c, "TooltipText", Variant("Send SMS Message!"));
  putProperty(c, "ShortcutText", Variant("Ctrl+Shift+G"));
  putProperty(c, "Visible", Variant(false));
  EXPECT_EQ(c->caption(), "SMS");
  EXPECT_EQ(c->style(), msoButtonIconAndCaption);
  EXPECT_EQ(c->tooltipText(), "Send SMS Message!");
  EXPECT_EQ(c->shortcutText(), "Ctrl+Shift+G");
  EXPECT_FALSE(c->visible());
  EXPECT_EQ(f.changes, changesBefore + 5);
}

TEST(CommandBars, PasteFaceTakesTheClipboardPictureAndFailsWithoutOne) {
  BarsFixture f;
  CommandBarControl* c = f.bars->item(2)->controls().item(1);
  FaceImage face{2, 1, {0xFFFF0000u, 0xFF00FF00u}};
  f.clipboard.setImage(face);
  callMethod(c, "PasteFace");
  EXPECT_EQ(c->face(), face);
  f.clipboard.clear();
  EXPECT_EQ(failureOf([&] { callMethod(c, "PasteFace"); }), E_FAIL);
  EXPECT_EQ(c->face(), face);
}

TEST(CommandBars, ClickReachesAdvisedSinksWhichMayCancelTheBuiltInAction) {
  BarsFixture f;
  CommandBarControl* mail = f.bars->item(2)->controls().item(1);
  ComPtr<ClickSink> sink(new ClickSink);
  DWORD cookie = 0;
  ASSERT_EQ(adviseSink(mail->identity(), DIID_CommandBarButtonEvents, sink.get(), &cookie), S_OK);

  EXPECT_FALSE(mail->click());
  EXPECT_EQ(sink->calls, 1);
  EXPECT_EQ(sink->lastId, DISPID_CommandBarButtonClick);
  EXPECT_EQ(sink->lastArg.toDispatch().get(), mail->dispatch());
  EXPECT_EQ(f.actions, std::vector<int32_t>{kIdMailMessage});

  sink->cancel = true;
  EXPECT_TRUE(mail->click());
  EXPECT_EQ(f.actions.size(), 1u);

  ASSERT_EQ(unadviseSink(mail->identity(), DIID_CommandBarButtonEvents, cookie), S_OK);
  mail->click();
  EXPECT_EQ(sink->calls, 2);
  ComPtr<IConnectionPoint> none;
  CommandBarControl* popup = f.bars->activeMenuBar()->controls().item(1);
  EXPECT_EQ(popup->FindConnectionPoint(DIID_CommandBarButtonEvents, none.put()),
            CONNECT_E_NOCONNECTION);
}

TEST(CommandBars, PermanentCustomisationComesBackTemporaryDoesNot) {
  quorvel::testsupport::RegistrySandbox box;
  std::string file = box.dir + "/outlook.commandbars";
  FaceImage face{1, 1, {0x80123456u}};
  {
    BarsFixture f("Outlook", file);
    CommandBarControls& news = *f.bars->activeMenuBar()->controls().item(1)->controls()->item(1)->controls();
    CommandBarControl* sms = news.add(msoControlButton, 1, 2, false);
    sms->setCaption("SMS\tmenu");
    news.add(msoControlButton, 1, std::nullopt, true)->setCaption("gone");
    CommandBar* bar = f.bars->add("KAVRI SMS", msoBarTop, false, false);
    bar->setVisible(true);
    CommandBarControl* b = bar->controls().add(msoControlButton, 1, std::nullopt, false);
    b->setCaption("SMS");
    b->setFace(face);
    f.bars->add("Scratch", msoBarTop, false, true);
    std::string error;
    ASSERT_TRUE(f.bars->saveCustomisation(&error)) << error;
  }
  BarsFixture g("Outlook", file);
  EXPECT_TRUE(g.bars->takeProblems().empty());
  CommandBarControls& news = *g.bars->activeMenuBar()->controls().item(1)->controls()->item(1)->controls();
  EXPECT_EQ(news.item(1)->caption(), "Mail Message");
  EXPECT_TRUE(news.item(1)->builtIn());
  EXPECT_EQ(news.item(2)->caption(), "SMS\tmenu");
  for (auto& c : news.items()) EXPECT_NE(c->caption(), "gone");
  EXPECT_EQ(g.bars->find("Scratch"), nullptr);
  CommandBar* bar = g.bars->find("KAVRI SMS");
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(bar->visible());
  EXPECT_EQ(bar->controls().item(1)->face(), face);
}

TEST(CommandBars, DamagedCustomisationGivesTheDefaultsAndOneProblem) {
  quorvel::testsupport::RegistrySandbox box;
  std::string file = box.dir + "/word.commandbars";
  std::ofstream(file) << "quorvel-commandbars 1\nbar\tMenu Bar\t1\t1\t1\t1\ncontrol\t3\t1\n";
  BarsFixture f("Word", file);
  std::vector<std::string> problems = f.bars->takeProblems();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find(file + ":3: "), std::string::npos) << problems[0];
  EXPECT_EQ(f.bars->count(), 2);
  EXPECT_EQ(f.bars->activeMenuBar()->controls().item(1)->caption(), "File");
}

} // namespace
