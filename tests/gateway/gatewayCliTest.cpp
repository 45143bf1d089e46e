// The quorvel-gateway command line, in this process and as its own program.
#include "gateway/gatewayCli.h"
#include "gateway/gatewayDefaults.h"
#include "gateway/gatewayEmbedded.h"

#include "childProcess.h"
#include "gatewayTestUtil.h"
#include "tempDir.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <sstream>

namespace quorvel::gateway {
namespace {

using test::contains;
using test::payload;

struct CliResult {
  int status;
  std::string out;
  std::string err;
};

CliResult runCli(std::vector<std::string> args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int status = runCommandLine(args, in, out, err);
  return {status, out.str(), err.str()};
}

TEST(GatewayCli, HelpOnEveryCommand) {
  const std::vector<std::vector<std::string>> commands = {
      {"--help"},
      {"-h"},
      {"serve", "--help"},
      {"account", "--help"},
      {"account", "add", "--help"},
      {"account", "set-credits", "--help"},
      {"account", "set-password", "--help"},
      {"account", "set-charset", "--help"},
      {"account", "list", "--help"},
      {"messages", "--help"},
      {"account", "add", "ann", "--help"},  // help wins over missing options
  };
  for (const auto& c : commands) {
    const CliResult r = runCli(c);
    EXPECT_EQ(r.status, 0) << c[0];
    EXPECT_TRUE(contains(r.out, "Usage: quorvel-gateway")) << c[0] << " " << (c.size() > 1 ? c[1] : "");
    EXPECT_TRUE(r.err.empty());
  }
}

TEST(GatewayCli, WrongUsageSaysWhatIsWrong) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{}, "Usage:"},
      {{"launch"}, "unknown command \"launch\""},
      {{"account"}, "Subcommands:"},
      {{"account", "remove", "x"}, "unknown subcommand \"account remove\""},
      {{"serve", "--port", "1"}, "unknown option --port"},
      {{"serve", "--listen"}, "--listen needs a value"},
      {{"serve", "--listen", "127.0.0.1:70000"}, "--listen needs HOST:PORT"},
      {{"serve", "extra"}, "unexpected argument \"extra\""},
      {{"account", "add"}, "missing NAME"},
      {{"account", "add", "ann", "--credits", "5", "--db", "x"}, "missing --password"},
      {{"account", "add", "ann", "--password", "p", "--db", "x"}, "missing --credits"},
      {{"account", "add", "ann", "--password", "p", "--credits", "-3", "--db", "x"}, "credits must be"},
      {{"account", "add", "ann", "--password", "p", "--credits", "2147483648", "--db", "x"}, "credits must be"},
      {{"account", "add", "ann", "--password", "", "--credits", "1", "--db", "x"}, "must not be empty"},
      {{"account", "set-credits", "ann"}, "missing the credits"},
      {{"serve", "--max-parts", "0", "--db", "x"}, "--max-parts needs a whole number from 1 to 255, not \"0\""},
      {{"serve", "--max-parts", "256", "--db", "x"}, "--max-parts needs a whole number from 1 to 255"},
      {{"account", "set-charset", "ann"}, "missing CHARSET"},
      {{"account", "add", "ann", "--password", "p", "--credits", "1", "--charset", "koi8", "--db", "x"},
       "unknown code page \"koi8\""},
      {{"account", "set-charset", "ann", "utf-8", "--db", "x"},
       "unknown code page \"utf-8\"; known are windows-874, windows-1250, windows-1251, windows-1252, "
       "windows-1253, windows-1254, windows-1255, windows-1256, windows-1257, windows-1258, iso-8859-1, "
       "iso-8859-2, iso-8859-15"},
      {{"messages", "--limit", "ten"}, "--limit needs a whole number"},
      {{"messages", "--db", "a", "--db", "b"}, "--db is given twice"},
  };
  for (const Case& c : cases) {
    const CliResult r = runCli(c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_TRUE(contains(r.err, c.message)) << c.message << " -> " << r.err;
  }
}

TEST(GatewayCli, ListenAddresses) {
  struct Case {
    std::string text;
    bool valid;
    std::string host;
    int port;
  };
  const std::vector<Case> cases = {
      {"127.0.0.1:9333", true, "127.0.0.1", 9333}, {"0.0.0.0:80", true, "0.0.0.0", 80},
      {"[::1]:0", true, "::1", 0},                 {"8080", true, "127.0.0.1", 8080},
      {"localhost:65535", true, "localhost", 65535}, {":9333", false, "", 0},
      {"host:", false, "", 0},                      {"host:-1", false, "", 0},
      {"host:65536", false, "", 0},                 {"host:12ab", false, "", 0},
  };
  for (const Case& c : cases) {
    auto a = parseListenAddress(c.text);
    ASSERT_EQ(a.has_value(), c.valid) << c.text;
    if (!a) continue;
    EXPECT_EQ(a->host, c.host) << c.text;
    EXPECT_EQ(a->port, c.port) << c.text;
  }
}

TEST(GatewayCli, ManagesAccountsAndShowsMessages) {
  test::TempDir dir;
  const std::string db = dir.file("gateway.sqlite");

  CliResult r = runCli({"account", "list", "--db", db});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "No accounts.\n");

  r = runCli({"account", "add", "ann", "--password", "-", "--credits", "2", "--db", db}, "from stdin\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Added the account \"ann\" with 2 credits.\n");
  r = runCli({"account", "add", "ann", "--password", "x", "--credits", "2", "--db=" + db});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "already exists"));
  r = runCli({"account", "add", "zed", "--password=x", "--credits=unlimited", "--db", db});
  EXPECT_EQ(r.status, 0) << r.err;

  r = runCli({"account", "set-credits", "zed", "7", "--db", db});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "The account \"zed\" now has 7 credits.\n");
  r = runCli({"account", "set-credits", "nobody-here", "--credits", "unlimited", "--db", db});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "no account named \"nobody-here\""));

  r = runCli({"account", "set-charset", "zed", "Windows-1250", "--db", db});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Texts from \"zed\" that are not UTF-8 are now read as windows-1250.\n");
  r = runCli({"account", "set-charset", "bob", "windows-1250", "--db", db});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "no account named \"bob\""));

  r = runCli({"account", "add", "cy", "--password=x", "--credits=1", "--charset", "Windows-1251", "--db", db});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Added the account \"cy\" with 1 credit; texts that are not UTF-8 are read as windows-1251.\n");

  r = runCli({"account", "list", "--db", db});
  EXPECT_EQ(r.out,
            "NAME  CREDITS  CHARSET\n"
            "ann   2        windows-1252\n"
            "cy    1        windows-1251\n"
            "zed   7        windows-1250\n");

  {
    GatewayStore store(db);
    const auto ann = store.findAccount("ann");
    ASSERT_TRUE(ann);
    EXPECT_TRUE(verifyPassword("from stdin", ann->passwordHash));
    store.setBalance("ann", Balance{false, 4});
    store.acceptMessages(ann->id, {{"+3611", "two\nlines"}, {"+3622", std::string(200, 'a')}, {"+3633", "third"}});
  }
  r = runCli({"messages", "--account", "ann", "--limit", "1", "--db", db});
  EXPECT_EQ(r.status, 0);
  ASSERT_EQ(test::count(r.out, "\n"), 2u) << r.out;  // header and one message
  EXPECT_EQ(r.out.rfind("ID\tTIME (UTC)\tACCOUNT\tRECIPIENT\tSTATUS\tPARTS\tCOST\tTEXT\t", 0), 0u) << r.out;
  EXPECT_TRUE(contains(r.out, "\tann\t+3633\taccepted\t1\t1\tthird\n")) << r.out;
  r = runCli({"messages", "--db", db});
  EXPECT_TRUE(contains(r.out, "+3611\taccepted\t1\t1\ttwo lines\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "+3622\taccepted\t2\t2\t" + std::string(200, 'a') + "\n")) << r.out;
  r = runCli({"messages", "--account", "zed", "--db", db});
  EXPECT_EQ(r.out, "No messages.\n");
  r = runCli({"messages", "--account", "bob", "--db", db});
  EXPECT_EQ(r.status, 1);

  r = runCli({"account", "set-password", "ann", "--password", "new", "--db", db});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(verifyPassword("new", GatewayStore(db).findAccount("ann")->passwordHash));
}

// Passwords travel in every request: plain HTTP leaves the machine only when asked for.
TEST(GatewayCli, PlainHttpBeyondLoopbackNeedsToBeAskedFor) {
  test::TempDir dir;
  const std::string db = dir.file("gateway.sqlite");
  for (const char* host : {"0.0.0.0:0", "[::]:0", "192.0.2.7:0"}) {
    const CliResult r = runCli({"serve", "--listen", host, "--db", db});
    EXPECT_EQ(r.status, 1) << host;
    EXPECT_TRUE(contains(r.err, "refusing to serve plain HTTP")) << r.err;
    EXPECT_TRUE(contains(r.err, "password")) << r.err;
    EXPECT_TRUE(contains(r.err, "--tls-cert FILE --tls-key FILE")) << r.err;
    EXPECT_TRUE(contains(r.err, "--plain-http")) << r.err;
  }
  const CliResult half = runCli({"serve", "--tls-cert", dir.file("c.pem"), "--db", db});
  EXPECT_EQ(half.status, 2);
  EXPECT_TRUE(contains(half.err, "--tls-cert and --tls-key go together")) << half.err;
  const CliResult valued = runCli({"serve", "--plain-http=yes", "--db", db});
  EXPECT_EQ(valued.status, 2);
  EXPECT_TRUE(contains(valued.err, "--plain-http takes no value")) << valued.err;
}

// The program as the composer's tests and the run script use it.
TEST(GatewayProgram, ServesOnAFreePortAndStopsOnRequest) {
  test::TempDir dir;
  const std::string db = dir.file("gateway.sqlite");
  test::ChildProcess child(QUORVEL_GATEWAY_PROGRAM, {"serve", "--listen", "127.0.0.1:0", "--db", db});

  std::string first;
  ASSERT_TRUE(child.readLine(first));
  const std::string prefix = "Listening on http://127.0.0.1:";
  ASSERT_EQ(first.rfind(prefix, 0), 0u) << first;
  const int port = std::stoi(first.substr(prefix.size()));
  EXPECT_GT(port, 0);
  EXPECT_TRUE(first.ends_with("/kavri"));

  std::string line;
  ASSERT_TRUE(child.readLine(line));
  EXPECT_EQ(line, "Store: " + db);
  ASSERT_TRUE(child.readLine(line));
  EXPECT_TRUE(contains(line, "\"nobody\"") && contains(line, "\"pqr456\"") && contains(line, "100 credits")) << line;

  httplib::Client client("127.0.0.1", port);
  auto r = client.Post("/kavri", "login=nobody&password=pqr456&action=getCredits&t=1\r\n",
                       "application/x-www-form-urlencoded");
  ASSERT_TRUE(r);
  EXPECT_EQ(payload(r->body), "100");

  // A second gateway on the same port explains itself and ends.
  test::ChildProcess second(QUORVEL_GATEWAY_PROGRAM,
                            {"serve", "--listen", "127.0.0.1:" + std::to_string(port), "--db", dir.file("other.sqlite")});
  const std::string refusal = second.readRest();
  EXPECT_EQ(second.wait(), 1);
  EXPECT_TRUE(contains(refusal, "cannot listen on 127.0.0.1:" + std::to_string(port))) << refusal;
  EXPECT_TRUE(contains(refusal, "Address already in use")) << refusal;
  EXPECT_TRUE(contains(refusal, "--listen HOST:PORT")) << refusal;

  child.terminate();
  EXPECT_EQ(child.readRest(), "Stopped.\n");
  EXPECT_EQ(child.wait(), 0);
}

// The well-known default account only where no stranger reaches it and
// nothing it sends costs money.
TEST(GatewayCli, DefaultAccountOnlyOnLoopbackWithTheStoreUpstream) {
  struct Case {
    std::string host, upstream;
    bool wanted;
  };
  const std::vector<Case> cases = {
      {"127.0.0.1", "store", true},  {"127.1.2.3", "store", true},    {"::1", "store", true},
      {"localhost", "store", true},  {"::ffff:127.0.0.1", "store", true},
      {"127.0.0.1", "kannel", false}, {"0.0.0.0", "store", false},    {"::", "store", false},
      {"192.168.1.5", "store", false}, {"128.0.0.1", "store", false}, {"fe80::1", "store", false},
      {"gateway.example", "store", false},
  };
  for (const Case& c : cases) EXPECT_EQ(defaultAccountWanted(c.host, c.upstream), c.wanted) << c.host << " " << c.upstream;
}

TEST(GatewayProgram, WithKannelSaysHowToAddAnAccount) {
  test::TempDir dir;
  const std::string db = dir.file("gateway.sqlite");
  ASSERT_EQ(runCli({"upstream", "set", "kannel", "--url", "http://127.0.0.1:9/cgi-bin/sendsms", "--user", "u",
                    "--password", "p", "--db", db})
                .status,
            0);
  test::ChildProcess child(QUORVEL_GATEWAY_PROGRAM, {"serve", "--listen", "127.0.0.1:0", "--db", db});
  std::string line;
  ASSERT_TRUE(child.readLine(line));
  ASSERT_TRUE(child.readLine(line));
  ASSERT_TRUE(child.readLine(line));
  EXPECT_TRUE(contains(line, "No accounts yet: add one with \"quorvel-gateway account add NAME --password - --credits N\""))
      << line;
  child.terminate();
  child.wait();
  EXPECT_EQ(runCli({"account", "list", "--db", db}).out, "No accounts.\n");
}

} // namespace
} // namespace quorvel::gateway
