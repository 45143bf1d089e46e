// The background credit query: one per showing, settings read before it
// starts, its result applied on the window's thread, racing a user query,
// and a window that goes away while it runs.
#include "gatewayFixture.h"

#include "composer/unGetCreditThread.h"
#include "test_certificate.h"

#include <QCoreApplication>
#include <QLineEdit>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quorvel {
namespace {

using testing::CannedServer;
using testing::reply;
using BackgroundTest = GatewayTest;

/// Holds the answers to chosen requests until opened.
class Gate {
public:
  void open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return open_; });
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

/// Answers the n-th credit query (from 1, in the order the server received
/// them) with the balance balances[n-1]; the queries listed in `held` wait
/// for the gate first. The order is the server's, not the order in which the
/// connections' threads happen to call the responder.
CannedServer::Responder heldCredits(std::vector<std::string> balances, std::vector<int> held,
                                    Gate& gate) {
  return [balances, held, &gate](const testing::ReceivedRequest& request) {
    const int n = static_cast<int>(request.number) + 1;
    if (std::find(held.begin(), held.end(), n) != held.end())
      gate.wait();
    return reply(200, dataDocument(balances.at(request.number)));
  };
}

TEST_F(BackgroundTest, EachShowingAsksQuietly) {
  bundledGateway().store().setBalance("nobody", gateway::Balance{false, 42});
  form->setComlogText("previous exchange");
  form->show();
  EXPECT_EQ(form->pendingCreditQueries(), 1);
  ASSERT_TRUE(pumpUntil([&] { return form->pendingCreditQueries() == 0; }));
  EXPECT_EQ(form->credits, "42");
  EXPECT_EQ(form->statusPanelText(3), "Credits : 42");
  EXPECT_EQ(form->comlogText(), "previous exchange");
  EXPECT_TRUE(form->boxes.empty());
  EXPECT_TRUE(form->messages.empty());

  // Two showings in a row run two queries.
  bundledGateway().store().setBalance("nobody", gateway::Balance{true, 0});
  form->hide();
  form->show();
  form->hide();
  form->show();
  EXPECT_EQ(form->pendingCreditQueries(), 2);
  ASSERT_TRUE(pumpUntil([&] { return form->pendingCreditQueries() == 0; }));
  EXPECT_EQ(form->credits, "unlimited");
}

TEST_F(BackgroundTest, FailuresChangeNothingAndSayNothing) {
  testing::IdlePort down(testing::IdlePort::refusing);
  useServer("http://127.0.0.1:" + std::to_string(down.port()));
  form->credits = "7";
  form->show();
  ASSERT_TRUE(pumpUntil([&] { return form->pendingCreditQueries() == 0; }));
  EXPECT_EQ(form->credits, "7");
  EXPECT_TRUE(form->boxes.empty());
  EXPECT_TRUE(form->messages.empty());
  // Even a malformed port stays quiet in the background.
  useServer("http://127.0.0.1:port");
  form->hide();
  form->show();
  ASSERT_TRUE(pumpUntil([&] { return form->pendingCreditQueries() == 0; }));
  EXPECT_EQ(form->credits, "7");
  EXPECT_TRUE(form->boxes.empty());
}

TEST_F(BackgroundTest, AnUntrustedCertificateIsNeverAskedAboutAndLeavesTheBalanceUnknown) {
  const testing::TestCertificate& cert = testing::localhostCertificate();
  CannedServer server([](const testing::ReceivedRequest&) { return reply(200, dataDocument("12")); },
                      testing::TlsSetup{cert.certificatePem, cert.keyPem});
  useServer("https://localhost:" + std::to_string(server.port()));
  form->boxAnswer = MsgResult::yes;
  showAndSettle();
  EXPECT_TRUE(form->boxes.empty());
  EXPECT_TRUE(form->messages.empty());
  EXPECT_EQ(form->credits, "");
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(BackgroundTest, SettingsAreReadBeforeTheWorkerStarts) {
  Gate gate;
  CannedServer server(heldCredits({"9"}, {}, gate));
  useServer(server.origin());
  form->eUserName->setText("first");
  form->show();
  // Changed at once, before the request can have been built.
  form->eUserName->setText("second");
  useServer("http://127.0.0.1:1");
  ASSERT_TRUE(pumpUntil([&] { return form->pendingCreditQueries() == 0; }));
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].body.rfind("login=first&password=pqr456&action=getCredits&t=", 0),
            0u);
  EXPECT_EQ(form->credits, "9");
}

TEST_F(BackgroundTest, ALaterBackgroundAnswerWinsOverTheUsersQuery) {
  Gate gate;
  CannedServer server(heldCredits({"5", "7"}, {1}, gate));
  useServer(server.origin());
  form->show();                 // query 1, held at the server
  server.waitForRequests(1);
  form->getCredits(true);       // query 2, answered at once
  EXPECT_EQ(form->credits, "7");
  ASSERT_EQ(form->boxes.size(), 1u);
  EXPECT_EQ(form->boxes[0].text, "Successful login. You have 7 credits!");
  const std::string log = form->comlogText();
  gate.open();
  ASSERT_TRUE(pumpUntil([&] { return form->pendingCreditQueries() == 0; }));
  EXPECT_EQ(form->credits, "5");
  EXPECT_EQ(form->statusPanelText(3), "Credits : 5");
  EXPECT_EQ(form->comlogText(), log);
  EXPECT_EQ(form->boxes.size(), 1u);
}

TEST_F(BackgroundTest, AnEarlierBackgroundAnswerDeliveredLateDoesNotWin) {
  Gate gate;
  CannedServer server(heldCredits({"5", "7"}, {}, gate));
  useServer(server.origin());
  form->show(); // query 1 answers "5" ...
  ASSERT_TRUE(TGetCreditThread::waitForAll(std::chrono::seconds(30)));
  form->getCredits(false); // ... before query 2 answers "7"
  EXPECT_EQ(form->credits, "7");
  ASSERT_TRUE(pumpUntil([&] { return form->pendingCreditQueries() == 0; }));
  EXPECT_EQ(form->credits, "7");
  EXPECT_EQ(form->statusPanelText(3), "Credits : 7");
}

TEST_F(BackgroundTest, AWindowDestroyedWhileItsQueryRunsIsNeverTouched) {
  Gate gate;
  CannedServer server(heldCredits({"5"}, {1}, gate));
  useServer(server.origin());
  form->show();
  server.waitForRequests(1);
  form.reset(); // at add-in shutdown, while the server still holds the answer
  gate.open();
  ASSERT_TRUE(TGetCreditThread::waitForAll(std::chrono::seconds(30)));
  // A wake-up posted to the destroyed window would run here.
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents();
  SUCCEED();
}

TEST_F(BackgroundTest, ShutdownWaitsNoLongerThanTheClientsTimeOut) {
  // Reads the request and never answers: only the client's time-out ends the query.
  CannedServer hung([](const testing::ReceivedRequest&) {
    testing::CannedReply r;
    r.silent = true;
    return r;
  });
  useServer(hung.origin());
  form->creditQueryOptions.timeOutSeconds = 1;
  form->show();
  hung.waitForRequests(1);
  form.reset();
  EXPECT_TRUE(TGetCreditThread::waitForAll(std::chrono::seconds(30)));
}

TEST(CreditThread, ACancelledQueryNeverRings) {
  Gate gate;
  CannedServer server(heldCredits({"5", "6"}, {1}, gate));
  std::atomic<int> rings{0};
  const TGatewaySettings settings{server.origin(), "nobody", "pqr456"};
  auto cancelled = TGetCreditThread::start(settings, {0, false}, [&] { ++rings; });
  server.waitForRequests(1);
  cancelled->cancel();
  gate.open();
  auto kept = TGetCreditThread::start(settings, {0, false}, [&] { ++rings; });
  ASSERT_TRUE(TGetCreditThread::waitForAll(std::chrono::seconds(30)));
  EXPECT_EQ(rings.load(), 1);
  EXPECT_FALSE(cancelled->takeOutcome().has_value());
  const auto outcome = kept->takeOutcome();
  ASSERT_TRUE(outcome.has_value());
  EXPECT_EQ(outcome->credits, "6");
  EXPECT_FALSE(kept->takeOutcome().has_value()); // handed out once
  EXPECT_GT(kept->finishOrder(), 0u);
}

} // namespace
} // namespace quorvel
