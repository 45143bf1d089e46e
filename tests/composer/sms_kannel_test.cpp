// End to end with the real Kannel: texts written in the composer go through
// the bundled gateway to Kannel's fake SMSC, and the delivery reports come back.
#include "gatewayFixture.h"

#include "kannelHarness.h"

#include <QAction>
#include <QLineEdit>
#include <QTextEdit>

#include <algorithm>

namespace quorvel {
namespace {

using gateway::test::KannelHarness;
using gateway::test::SmscMessage;
using KannelTest = GatewayTest;

// The text fakesmsc got: UCS-2 and concatenated parts arrive percent-encoded.
std::string receivedText(const SmscMessage& m, bool unicode) {
  if (m.type == "text") return m.data;
  const std::string bytes = gateway::test::percentDecode(m.data);
  return unicode ? gateway::test::utf16beToUtf8(bytes) : bytes;
}

std::string longText() {
  std::string t;
  for (int i = 0; t.size() < 400; ++i) t += "Part " + std::to_string(i) + " of a long text. ";
  return t.substr(0, 400);
}

TEST_F(KannelTest, ComposerTextsReachTheSmscAndAreReportedDelivered) {
  KannelHarness kannel(dataHome.path().toStdString());
  if (!kannel.missing().empty()) GTEST_SKIP() << kannel.missing();
  kannel.start();

  gateway::EmbeddedOptions options;
  options.cost = gateway::HashCost{10, 8, 1};
  options.upstream = kannel.upstream();
  gateway::EmbeddedGateway gw(dataHome.filePath("gateway.sqlite").toStdString(), options);
  useServer(gw.url());
  showAndSettle();

  struct Case {
    std::string text;
    bool unicode;
    std::size_t parts;
  };
  const Case cases[] = {
      {"Hello from Quorvel: 100 EUR @ 5% [ok] {x} ~ |", false, 1},
      {"Szia! \xC3\xA1rv\xC3\xADzt\xC5\xB1r\xC5\x91 \xE2\x82\xAC", true, 1},  // needs UCS-2 for ő and ű
      {longText(), false, 3},
  };
  std::size_t expected = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    form->eTo->setText("+36301234567");
    form->re->setPlainText(QString::fromStdString(c.text));
    form->actSend->trigger();
    ASSERT_TRUE(form->messages.empty());
    expected += c.parts;
    auto got = kannel.waitForMessages(expected);
    ASSERT_EQ(got.size(), expected);
    // Parts may reach the SMSC in any order; the header's last byte numbers them.
    std::vector<SmscMessage> parts(got.end() - static_cast<std::ptrdiff_t>(c.parts), got.end());
    std::sort(parts.begin(), parts.end(), [](const SmscMessage& a, const SmscMessage& b) {
      return gateway::test::percentDecode(a.udh) < gateway::test::percentDecode(b.udh);
    });
    std::string joined;
    for (const SmscMessage& p : parts) {
      EXPECT_EQ(p.to, "+36301234567");
      EXPECT_EQ(p.type, c.parts > 1 ? "udh" : c.unicode ? "ucs-2" : "text");
      if (c.parts > 1) {
        // The 16-bit reference's header.
        EXPECT_EQ(gateway::test::percentDecode(p.udh).substr(0, 3), std::string("\x06\x08\x04", 3));
      }
      joined += receivedText(p, c.unicode);
    }
    EXPECT_EQ(joined, c.text);
  }

  // Every part's report arrives; the gateway then lists each as delivered.
  auto allDelivered = [&] {
    const auto stored = gw.store().messages(std::nullopt, 10);
    if (stored.size() != 3) return false;
    for (const auto& m : stored)
      if (m.status != "delivered") return false;
    return true;
  };
  EXPECT_TRUE(pumpUntil(allDelivered));
  for (const auto& m : gw.store().messages(std::nullopt, 10)) {
    EXPECT_EQ(m.status, "delivered") << m.text << ": " << m.upstreamStatus;
    EXPECT_NE(m.upstreamStatus.find("Kannel report 1"), std::string::npos) << m.upstreamStatus;
    EXPECT_EQ(m.statusTime.size(), 19u);
  }
}

} // namespace
} // namespace quorvel
