// The HTTP front facing strangers: header and body limits, slow clients, deadlines, caps, web pages.
#include "gateway/gatewayDefaults.h"
#include "gateway/gatewayServer.h"

#include "gatewayTestUtil.h"
#include "loopbackClient.h"
#include "tempDir.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvel::gateway {
namespace {

using test::contains;
using test::LoopbackClient;
using test::payload;

const HashCost kCheap{test::kTestLog2N, 8, 1};
const std::string kCredits = "login=nobody&password=pqr456&action=getCredits&t=1";

std::string post(const std::string& body, const std::string& extraHeaders = "") {
  return "POST /kavri HTTP/1.1\r\nHost: gw\r\nContent-Type: application/x-www-form-urlencoded\r\nConnection: close\r\n" +
         extraHeaders + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string statusLine(const std::string& answer) { return answer.substr(0, answer.find("\r\n")); }

// A gateway on a free loopback port with the default account.
struct Front {
  explicit Front(ServerOptions o = {}, SignInOptions signIn = {})
      : store(dir.file("g.sqlite")), service(store, kCheap, std::move(signIn)) {
    addDefaultAccountIfEmpty(store, kCheap);
    o.host = "127.0.0.1";
    o.port = 0;
    server = std::make_unique<GatewayServer>(service, o);
    port = server->start();
  }
  // A credit query on a connection of its own: the answer's payload.
  std::string credits() {
    LoopbackClient c(port);
    c.send(post(kCredits));
    return payload(c.readToClose());
  }

  test::TempDir dir;
  GatewayStore store;
  GatewayService service;
  std::unique_ptr<GatewayServer> server;
  int port = 0;
};

// Paces a load test's clients; it ends by itself after \p rounds.
class Trickler {
public:
  Trickler(int rounds, std::chrono::milliseconds every, std::function<void()> step)
      : thread_([=, this] {
          for (int i = 0; i < rounds; ++i) {
            std::unique_lock lock(mutex_);
            if (wake_.wait_for(lock, every, [this] { return ended_; })) return;
            lock.unlock();
            step();
          }
          ranOut_ = true;
        }) {}
  ~Trickler() { end(); }
  void end() {
    {
      std::lock_guard lock(mutex_);
      ended_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }
  /// True when all rounds were used up.
  bool ranOut() const { return ranOut_; }

private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool ended_ = false;
  std::atomic<bool> ranOut_{false};
  std::thread thread_;
};

TEST(GatewayFront, RefusesOversizedRequestLinesAndHeaders) {
  Front front;
  std::string manyHeaders;
  for (int i = 0; i <= 100; ++i) manyHeaders += "X-H" + std::to_string(i) + ": a\r\n";
  std::string bulkyHeaders;
  for (int i = 0; i < 5; ++i) bulkyHeaders += "X-B" + std::to_string(i) + ": " + std::string(7000, 'b') + "\r\n";
  struct Case {
    const char* name;
    std::string request;
    const char* status;
  } cases[] = {
      {"request line of 9 KiB", "GET /" + std::string(9000, 'p') + " HTTP/1.1\r\nHost: gw\r\n\r\n", "414"},
      {"header line of 9 KiB", post(kCredits, "X-Long: " + std::string(9000, 'h') + "\r\n"), "431"},
      {"101 headers", post(kCredits, manyHeaders), "431"},
      {"35 KB of headers", post(kCredits, bulkyHeaders), "431"},
      {"within every limit", post(kCredits, manyHeaders.substr(0, manyHeaders.find("X-H95"))), "200"},
  };
  for (Case& c : cases) {
    LoopbackClient client(front.port);
    ASSERT_TRUE(client.send(c.request)) << c.name;
    const std::string answer = client.readToClose();
    EXPECT_TRUE(contains(statusLine(answer), c.status)) << c.name << ": " << statusLine(answer);
    EXPECT_TRUE(contains(answer, "Content-Length:")) << c.name;
  }
}

// A header line without end: the server stops reading at its bound and
// refuses, holding no more than that bound for it.
TEST(GatewayFront, HeaderFloodIsRefusedWithoutGrowingMemory) {
  Front front;
  ASSERT_EQ(front.credits(), "100");
  const std::size_t before = test::residentBytes();
  LoopbackClient client(front.port);
  client.send("POST /kavri HTTP/1.1\r\nX-Flood: ");
  const std::string mebibyte(1 << 20, 'f');
  int sent = 0;
  while (sent < 64 && client.send(mebibyte)) ++sent;
  const std::string answer = client.readToClose();
  EXPECT_LT(sent, 64) << "the server took the whole flood";
  EXPECT_TRUE(answer.empty() || contains(statusLine(answer), "431") || contains(statusLine(answer), "414"))
      << statusLine(answer);
  EXPECT_LT(test::residentBytes(), before + (std::size_t{8} << 20));
  EXPECT_EQ(front.credits(), "100");
}

// A declared length over the limit is refused from the headers alone: the
// client sends none of the body and still gets the error document.
TEST(GatewayFront, DeclaredOversizeBodyIsRefusedBeforeItIsSent) {
  Front front;
  for (const std::string path : {"/kavri", "/elsewhere"}) {
    for (const char* length : {"33554433", "4509715660"}) {
      LoopbackClient client(front.port);
      client.send("POST " + path + " HTTP/1.1\r\nHost: gw\r\nContent-Length: " + length + "\r\n\r\n");
      const std::string answer = client.readToClose();
      EXPECT_TRUE(contains(statusLine(answer), "413")) << path << " " << length << ": " << statusLine(answer);
      EXPECT_TRUE(contains(answer, "[ERROR]")) << length;
      EXPECT_TRUE(contains(answer, "Connection: close")) << length;
    }
  }
}

TEST(GatewayFront, SlowClientsDoNotHoldUpAValidRequest) {
  ServerOptions o;
  o.maxConnectionsPerAddress = 100;
  Front front(o);
  std::vector<std::unique_ptr<LoopbackClient>> slow;
  for (int i = 0; i < 64; ++i) {
    slow.push_back(std::make_unique<LoopbackClient>(front.port));
    // Half stop within the headers, half within a declared body.
    slow.back()->send(i % 2 ? "POST /kavri HTTP/1.1\r\nHost: gw\r\n"
                            : "POST /kavri HTTP/1.1\r\nHost: gw\r\nContent-Length: 1000\r\n\r\nlogin=nob");
  }
  EXPECT_EQ(front.credits(), "100");
  // Served while every slow client is still connected, not after they gave up.
  for (auto& c : slow) EXPECT_FALSE(c->closedNow());
}

// Holds the first sign-in that reads the clock until opened; later ones pass.
class SignInGate {
public:
  explicit SignInGate(bool armed = true) : armed_(armed) {}
  void arm() {
    std::lock_guard lock(mutex_);
    armed_ = true;
  }
  SignInClock::time_point now() {
    std::unique_lock lock(mutex_);
    if (armed_ && !taken_) {
      taken_ = true;
      changed_.notify_all();
      changed_.wait(lock, [this] { return open_; });
    }
    return SignInClock::now();
  }
  /// Waits (at most 10 s) until a sign-in is held; true when one is.
  bool waitHeld() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return taken_; });
  }
  void open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool armed_, taken_ = false, open_ = false;
};

// A password check may take long (a slow hash, a wait for a slot): the
// front runs it aside, so while one is held every other client is served.
TEST(GatewayFront, ASignInUnderWayHoldsUpNoOtherClient) {
  SignInGate gate;
  SignInOptions signIn;
  signIn.clock = [&] { return gate.now(); };
  Front front({}, signIn);
  LoopbackClient held(front.port);
  // The check starts as soon as the credentials are in, before the body ends.
  const std::string request = post(kCredits);
  const std::size_t rest = request.find("action=");
  held.send(request.substr(0, rest));
  ASSERT_TRUE(gate.waitHeld());
  held.send(request.substr(rest));
  const std::string other = front.credits();
  gate.open();
  EXPECT_EQ(other, "100");
  EXPECT_EQ(payload(held.readToClose()), "100");
}

// A password verified a moment ago is recognised on the event thread, and
// a credit query answered there: it needs no worker, even when none is free.
TEST(GatewayFront, ARecognisedCreditQueryNeedsNoWorker) {
  SignInGate gate(false);
  SignInOptions signIn;
  signIn.clock = [&] { return gate.now(); };
  ServerOptions o;
  o.threads = 1;
  Front front(o, signIn);
  ASSERT_EQ(front.credits(), "100");
  gate.arm();
  LoopbackClient wrong(front.port);  // a guess: hashed, on the only worker
  wrong.send(post("login=nobody&password=guess&action=getCredits&t=1"));
  ASSERT_TRUE(gate.waitHeld());
  const std::string other = front.credits();
  gate.open();
  EXPECT_EQ(other, "100");
  EXPECT_EQ(statusLine(wrong.readToClose()).substr(0, 12), "HTTP/1.1 200");  // the login page
}

TEST(GatewayFront, StopDoesNotWaitForSlowClients) {
  Front front;
  std::vector<std::unique_ptr<LoopbackClient>> slow;
  for (int i = 0; i < 16; ++i) {
    slow.push_back(std::make_unique<LoopbackClient>(front.port));
    slow.back()->send("POST /kavri HTTP/1.1\r\n");
  }
  Trickler trickle(200, std::chrono::milliseconds(50), [&] {
    for (auto& c : slow) c->send("X");
  });
  front.server->stop();
  EXPECT_FALSE(trickle.ranOut()) << "stop() waited for the slow clients to give up";
  trickle.end();
  for (auto& c : slow) EXPECT_TRUE(c->waitClosed());
}

// Trickling keeps the library's idle time-out at bay; the deadline still ends it.
TEST(GatewayFront, TricklingCannotExtendTheDeadline) {
  ServerOptions o;
  o.requestDeadline = std::chrono::milliseconds(300);
  Front front(o);
  LoopbackClient client(front.port);
  client.send("POST /kavri HTTP/1.1\r\n");
  std::atomic<bool> cut{false};
  int line = 0;
  Trickler trickle(500, std::chrono::milliseconds(20), [&] {
    if (!cut && (client.closedNow() || !client.send("X-" + std::to_string(line++ % 90) + ": a\r\n"))) cut = true;
  });
  EXPECT_TRUE(client.waitClosed());
  EXPECT_FALSE(trickle.ranOut());
  trickle.end();
  EXPECT_EQ(front.credits(), "100");
}

// Over the cap for one address a connection is closed at once; over the cap
// for everyone it waits in the accept queue until a place is free.
TEST(GatewayFront, CapsConnectionsPerAddressAndInAll) {
  struct Case {
    const char* name;
    unsigned perAddress, total;
  } cases[] = {{"per address", 4, 1000}, {"in all", 1000, 4}};
  for (const Case& c : cases) {
    ServerOptions o;
    o.maxConnectionsPerAddress = c.perAddress;
    o.maxConnections = c.total;
    Front front(o);
    std::vector<std::unique_ptr<LoopbackClient>> held;
    for (int i = 0; i < 4; ++i) {
      held.push_back(std::make_unique<LoopbackClient>(front.port));
      held.back()->send("POST /kavri HTTP/1.1\r\n");
    }
    LoopbackClient fifth(front.port);
    fifth.send(post(kCredits));
    if (c.perAddress == 4) {
      EXPECT_TRUE(fifth.waitClosed()) << c.name;
      for (auto& h : held) EXPECT_FALSE(h->closedNow()) << c.name;
    } else {
      // One held request completes and its connection closes: the fifth
      // takes the place. (A client that closes before the library has read
      // its first bytes keeps its place until the idle time-out.)
      const std::string whole = post(kCredits);
      held.back()->send(whole.substr(whole.find("\r\n") + 2));
      EXPECT_EQ(payload(held.back()->readToClose()), "100") << c.name;
      EXPECT_EQ(payload(fifth.readToClose()), "100") << c.name;
    }
  }
}

// No web page the user visits can send through a gateway on their machine:
// browsers mark such requests, programs such as the composer do not.
TEST(GatewayFront, RefusesRequestsFromWebPages) {
  Front front;
  const std::string send = "login=nobody&password=pqr456&action=sendMessages&recepient0=1&messageData0=a&messageCount=1";
  struct Case {
    httplib::Headers headers;
    int status;
  } cases[] = {
      {{{"Origin", "https://pages.example"}}, 403},
      {{{"Origin", "null"}}, 403},
      {{{"Sec-Fetch-Site", "cross-site"}}, 403},
      {{{"Sec-Fetch-Site", "none"}}, 200},
      {{}, 200},
  };
  httplib::Client client("127.0.0.1", front.port);
  int accepted = 0;
  for (const Case& c : cases) {
    auto r = client.Post("/kavri", c.headers, send, "application/x-www-form-urlencoded");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, c.status);
    if (c.status == 403) {
      EXPECT_TRUE(contains(r->body, "[ERROR]"));
      EXPECT_TRUE(contains(payload(r->body), "ERROR: requests from web pages are refused")) << r->body;
    } else {
      ++accepted;
    }
  }
  EXPECT_EQ(front.store.messageCount(), accepted);
}

} // namespace
} // namespace quorvel::gateway
