// The upstream settings: the file, the commands that set and show them, and
// the delivery columns of "messages". The password never shows.
#include "gateway/gatewayCli.h"
#include "gateway/gatewayOutbox.h"
#include "gateway/gatewayStore.h"
#include "gateway/gatewayUpstream.h"

#include "gatewayTestUtil.h"
#include "tempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace quorvel::gateway {
namespace {

using test::contains;

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

TEST(Upstream, SetShowAndBackToStore) {
  test::TempDir dir;
  const std::string db = dir.file("gw.sqlite");
  const std::string conf = upstreamConfigPath(db);

  CliResult r = runCli({"upstream", "show", "--db", db});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "upstream: store (messages are kept here and not sent on)\n");

  r = runCli({"upstream", "set", "kannel", "--url", "http://127.0.0.1:13013/cgi-bin/sendsms", "--user", "gw",
              "--password", "-", "--from", "Quorvel", "--db", db},
             "Secr3t!\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(contains(r.out + r.err, "Secr3t!"));
  const auto perms = std::filesystem::status(conf).permissions();
  EXPECT_EQ(perms & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const UpstreamConfig saved = loadUpstreamConfig(conf);
  EXPECT_EQ(saved.password, "Secr3t!");
  EXPECT_EQ(saved.from, "Quorvel");
  EXPECT_EQ(saved.dlrKey.size(), 32u);

  // Options left out keep their values; the key stays.
  r = runCli({"upstream", "set", "kannel", "--smsc", "modem", "--db", db});
  ASSERT_EQ(r.status, 0) << r.err;
  r = runCli({"upstream", "show", "--db", db});
  EXPECT_TRUE(contains(r.out, "upstream: kannel\nurl: http://127.0.0.1:13013/cgi-bin/sendsms\nuser: gw\n"
                              "password: (set)\nfrom: Quorvel\nsmsc: modem\n")) << r.out;
  EXPECT_FALSE(contains(r.out, "Secr3t!"));
  EXPECT_FALSE(contains(r.out, saved.dlrKey));
  EXPECT_EQ(loadUpstreamConfig(conf).dlrKey, saved.dlrKey);

  // New messages are queued while the upstream is kannel, and not after.
  {
    GatewayStore store(db);
    store.addAccount("ann", "h", Balance{true, 0});
    store.acceptMessages(1, {{"+3611", "queued one"}});
  }
  r = runCli({"upstream", "set", "store", "--db", db});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(loadUpstreamConfig(conf).kannel());
  {
    GatewayStore store(db);
    store.acceptMessages(1, {{"+3622", "kept one"}});
  }
  r = runCli({"messages", "--db", db});
  EXPECT_TRUE(contains(r.out, "\t+3622\taccepted\t1\t0\tkept one\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "\t+3611\tqueued\t1\t0\tqueued one\t")) << r.out;
}

TEST(Upstream, RefusedSettings) {
  test::TempDir dir;
  const std::string db = dir.file("gw.sqlite");
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {{"upstream", "set", "kannel", "--user", "u", "--password", "p"}, 2, "missing --url"},
      {{"upstream", "set", "kannel", "--url", "http://k", "--password", "p"}, 2, "missing --user"},
      {{"upstream", "set", "kannel", "--url", "http://k", "--user", "u"}, 2, "missing --password"},
      {{"upstream", "set", "kannel", "--url", "ftp://k", "--user", "u", "--password", "p"}, 1, "http:// or https://"},
      {{"upstream", "set", "kannel", "--url", "http://k", "--user", "u", "--password", "p", "--from", "a\nb"}, 1,
       "line break"},
      {{"upstream", "set", "smpp"}, 2, "\"store\" or \"kannel\""},
      {{"upstream", "set", "store", "--url", "http://k"}, 2, "--url belongs"},
      {{"upstream"}, 2, "upstream set"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--db", db});
    const CliResult r = runCli(args);
    EXPECT_EQ(r.status, c.status) << c.says;
    EXPECT_TRUE(contains(r.err, c.says)) << r.err;
    EXPECT_FALSE(std::filesystem::exists(upstreamConfigPath(db))) << c.says;
  }

  std::ofstream(upstreamConfigPath(db)) << "upstream = kannel\nurl = http://k\nuser = u\npassword = p\nwat = 1\n";
  const CliResult r = runCli({"serve", "--listen", "127.0.0.1:0", "--db", db});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "unknown setting \"wat\"")) << r.err;
}

TEST(Upstream, ValidityAndTimes) {
  struct Case {
    const char* text;
    std::optional<int> seconds;
  };
  const Case cases[] = {{"24h", 86400}, {"90m", 5400}, {"45s", 45},      {"2d", 172800},
                        {"3600", 3600}, {"0", {}},     {"-5m", {}},      {"1.5h", {}},
                        {"h", {}},      {"", {}},      {"10mm", {}},     {"999999999d", {}}};
  for (const Case& c : cases) EXPECT_EQ(parseDuration(c.text), c.seconds) << c.text;

  test::TempDir dir;
  const std::string db = dir.file("gw.sqlite");
  const std::string conf = upstreamConfigPath(db);
  EXPECT_EQ(DeliveryTimings{}.validity, 86400);
  EXPECT_EQ(DeliveryTimings{}.attempts, 0);  // no cap: the validity gives up
  std::ofstream(conf) << "upstream = kannel\nurl = http://k\nuser = u\npassword = p\nvalidity = 90m\nattempts = 0\n";
  UpstreamConfig c = loadUpstreamConfig(conf);
  EXPECT_EQ(c.timings.validity, 5400);
  EXPECT_EQ(c.timings.attempts, 0);
  c.timings.attempts = 20;
  saveUpstreamConfig(conf, c);  // the hand-set times survive "upstream set"
  EXPECT_EQ(loadUpstreamConfig(conf).timings.validity, 5400);
  EXPECT_EQ(loadUpstreamConfig(conf).timings.attempts, 20);

  const CliResult r = runCli({"serve", "--validity", "soon", "--db", db});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(contains(r.err, "--validity needs a time such as 24h")) << r.err;
}

} // namespace
} // namespace quorvel::gateway
