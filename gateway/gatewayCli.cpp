// The quorvel-gateway command line: serve, account and messages commands.
#include "gateway/gatewayCli.h"

#include "gateway/gatewayAddress.h"
#include "gateway/gatewayCharset.h"
#include "gateway/gatewayDefaults.h"
#include "gateway/gatewayDelivery.h"
#include "gateway/gatewayMemory.h"
#include "gateway/gatewayOutbox.h"
#include "gateway/gatewayServer.h"
#include "gateway/gatewayService.h"
#include "gateway/gatewaySignals.h"
#include "gateway/gatewayUpstream.h"

#include <algorithm>
#include <charconv>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <stdexcept>

namespace quorvel::gateway {

namespace {

const char* const kProgram = "quorvel-gateway";

const char* const kMainHelp = R"(Usage: quorvel-gateway COMMAND [OPTIONS]

The Quorvel SMS gateway. It answers credit queries and send requests posted to
http://HOST:PORT/kavri and keeps accounts and accepted messages in SQLite.

Commands:
  serve                  answer requests until stopped (Ctrl+C)
  account add            create an account
  account set-credits    change the balance of an account
  account set-password   change the password of an account
  account set-charset    the code page of an account's clients that send no UTF-8
  account list           show the accounts, their balances and code pages
  messages               show accepted messages and their delivery, newest first
  upstream set           send messages on through Kannel, or keep them here
  upstream show          show where messages go (never the password)

Every command takes --db PATH (default: $XDG_DATA_HOME/quorvel/gateway.sqlite,
with ~/.local/share for an unset XDG_DATA_HOME) and --help.
)";

const char* const kAccountHelp = R"(Usage: quorvel-gateway account SUBCOMMAND [OPTIONS]

Subcommands:
  add NAME --password P --credits N|unlimited
  set-credits NAME N|unlimited
  set-password NAME --password P
  set-charset NAME CHARSET
  list

Run "quorvel-gateway account SUBCOMMAND --help" for details.
)";

class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct Io {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
};

struct Args {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  bool help = false;

  const std::string* option(const std::string& name) const {
    auto it = options.find(name);
    return it == options.end() ? nullptr : &it->second;
  }
};

struct Command {
  std::vector<std::string> path;         // e.g. {"account", "add"}
  std::vector<std::string> options;      // options that take a value, without "--"
  std::vector<std::string> positionals;  // names of the positional arguments
  std::size_t optionalPositionals = 0;   // how many of the last ones may be left out
  const char* help;
  int (*run)(const Args&, Io&);
  std::vector<std::string> flags = {};   // options without a value, without "--"
};

Args parseArgs(const std::vector<std::string>& args, std::size_t from, const Command& command) {
  Args parsed;
  auto takesValue = [&](const std::string& name) {
    for (const auto& o : command.options)
      if (o == name) return true;
    return false;
  };
  for (std::size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      parsed.help = true;
    } else if (a.starts_with("--") && a.size() > 2) {
      const std::size_t eq = a.find('=');
      const std::string name = a.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
      const bool flag = std::find(command.flags.begin(), command.flags.end(), name) != command.flags.end();
      if (!flag && !takesValue(name)) throw UsageError("unknown option --" + name);
      std::string value;
      if (flag) {
        if (eq != std::string::npos) throw UsageError("--" + name + " takes no value");
      } else if (eq != std::string::npos) {
        value = a.substr(eq + 1);
      } else {
        if (i + 1 >= args.size()) throw UsageError("--" + name + " needs a value");
        value = args[++i];
      }
      if (!parsed.options.emplace(name, value).second) throw UsageError("--" + name + " is given twice");
    } else {
      parsed.positional.push_back(a);
    }
  }
  if (parsed.help) return parsed;
  const std::size_t most = command.positionals.size();
  const std::size_t least = most - command.optionalPositionals;
  if (parsed.positional.size() > most) throw UsageError("unexpected argument \"" + parsed.positional[most] + "\"");
  if (parsed.positional.size() < least) throw UsageError("missing " + command.positionals[parsed.positional.size()]);
  return parsed;
}

std::string storePath(const Args& args) {
  if (const std::string* db = args.option("db")) return *db;
  std::string path = defaultStorePath();
  if (path.empty()) throw UsageError("no data folder is known (neither XDG_DATA_HOME nor HOME is set): give --db PATH");
  return path;
}

Balance requireBalance(const std::string& text) {
  auto balance = parseBalance(text);
  if (!balance)
    throw UsageError("credits must be \"unlimited\" or a whole number from 0 to " + std::to_string(kMaxCredits) +
                     ", not \"" + text + "\"");
  return *balance;
}

std::string requirePassword(const Args& args, Io& io) {
  const std::string* given = args.option("password");
  if (!given) throw UsageError("missing --password");
  std::string password = *given;
  if (password == "-") {
    if (!std::getline(io.in, password)) password.clear();
    if (!password.empty() && password.back() == '\r') password.pop_back();
  }
  if (password.empty()) throw UsageError("the password must not be empty");
  return password;
}

std::string creditsText(const Balance& balance) {
  if (balance.unlimited) return "unlimited credits";
  return std::to_string(balance.credits) + (balance.credits == 1 ? " credit" : " credits");
}

// Messages are shown one per line; line breaks and tabs in a text would
// break that.
std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  return text;
}

// The address Kannel reports to when the settings name none: the listen
// address, with the loopback address for a wildcard.
std::string reportBase(const ListenAddress& address, int port, bool tls) {
  std::string host = address.host;
  if (host == "0.0.0.0") host = "127.0.0.1";
  if (host == "::") host = "::1";
  const bool v6 = host.find(':') != std::string::npos;
  return (tls ? "https://" : "http://") + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

// HTTPS when both files are given; plain HTTP beyond this machine only when
// asked for, since every request carries an account's password.
void chooseTransport(const Args& args, const ListenAddress& address, ServerOptions& options) {
  const std::string* cert = args.option("tls-cert");
  const std::string* key = args.option("tls-key");
  if (!cert != !key) throw UsageError("--tls-cert and --tls-key go together");
  if (cert) {
    options.tlsCertFile = *cert;
    options.tlsKeyFile = *key;
    return;
  }
  if (isLoopbackHost(address.host) || args.option("plain-http")) return;
  throw std::runtime_error("refusing to serve plain HTTP on " + address.host +
                           ": every request carries an account's password, which anyone on the way could read. "
                           "Serve HTTPS with --tls-cert FILE --tls-key FILE, or give --plain-http when the "
                           "network is trusted (for example behind a TLS proxy on this machine).");
}

UpstreamConfig loadUpstream(const std::string& storePath) {
  try {
    return loadUpstreamConfig(upstreamConfigPath(storePath));
  } catch (const UpstreamError& e) {
    throw std::runtime_error(std::string(e.what()) + " (fix it with \"quorvel-gateway upstream set\")");
  }
}

std::size_t maxParts(const Args& args) {
  const std::string* text = args.option("max-parts");
  if (!text) return kDefaultMaxParts;
  std::size_t value = 0;
  auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (text->empty() || ec != std::errc() || end != text->data() + text->size() || value < 1 || value > kMostParts)
    throw UsageError("--max-parts needs a whole number from 1 to " + std::to_string(kMostParts) + ", not \"" + *text +
                     "\"");
  return value;
}

// The default account's password is known to everyone: it is made only
// where no stranger can reach it and nothing it sends costs money.
void announceAccounts(GatewayStore& store, const std::string& host, const std::string& upstreamKind, Io& io) {
  if (defaultAccountWanted(host, upstreamKind)) {
    if (addDefaultAccountIfEmpty(store))
      io.out << "Created the account \"" << kDefaultAccount << "\" with the password \"" << kDefaultPassword
             << "\" and " << kDefaultCredits << " credits (the composer's default settings)." << std::endl;
  } else if (store.accounts().empty()) {
    io.out << "No accounts yet: add one with \"" << kProgram
           << " account add NAME --password - --credits N\" (the default account is made only on a loopback "
              "address with the store upstream)."
           << std::endl;
  }
}

int serve(const Args& args, Io& io) {
  ListenAddress address{kDefaultHost, kDefaultPort};
  if (const std::string* listen = args.option("listen")) {
    auto parsed = parseListenAddress(*listen);
    if (!parsed) throw UsageError("--listen needs HOST:PORT (a port from 0 to 65535), not \"" + *listen + "\"");
    address = *parsed;
  }
  const std::string path = storePath(args);
  const std::size_t parts = maxParts(args);
  ServerOptions serverOptions{address.host, address.port};
  chooseTransport(args, address, serverOptions);

  UpstreamConfig upstream = loadUpstream(path);
  if (const std::string* validity = args.option("validity")) {
    const std::optional<int> seconds = parseDuration(*validity);
    if (!seconds)
      throw UsageError("--validity needs a time such as 24h, 90m or 3600 (seconds), not \"" + *validity + "\"");
    upstream.timings.validity = *seconds;
  }

  blockStopSignals();
  shareMemoryPools();
  GatewayStore store(path);
  Outbox outbox(path);
  outbox.setUpstream(upstream.kind);
  // Sign-in failures and refusals, as they happen (the service writes one line at a time).
  SignInOptions signIn;
  signIn.log = [&](const std::string& line) { io.out << line << std::endl; };
  GatewayService service(store, HashCost{}, std::move(signIn), parts);
  if (upstream.kannel())
    serverOptions.reportHandler = [&](const std::multimap<std::string, std::string>& q) {
      return deliveryReport(outbox, upstream.dlrKey, q);
    };
  GatewayServer server(service, serverOptions);
  int port = 0;
  try {
    port = server.bind();
  } catch (const ListenError& e) {
    io.err << kProgram << ": " << e.what() << "\n";
    if (e.addressInUse())
      io.err << "Another program (perhaps another gateway) is using that port. Stop it, or choose another "
                "address with --listen HOST:PORT.\n";
    return 1;
  }
  const bool v6 = address.host.find(':') != std::string::npos;
  io.out << "Listening on " << (server.tls() ? "https://" : "http://") << (v6 ? "[" + address.host + "]" : address.host) << ":" << port << "/kavri"
         << std::endl;
  io.out << "Store: " << path << std::endl;
  announceAccounts(store, address.host, upstream.kind, io);

  std::unique_ptr<DeliveryWorker> worker;
  if (upstream.kannel()) {
    io.out << "Upstream: Kannel at " << upstream.url << " (messages waiting are sent now)" << std::endl;
    worker = std::make_unique<DeliveryWorker>(outbox, upstream, reportBase(address, port, server.tls()));
    worker->start();
  }

  server.start();
  waitForStopSignal();
  server.stop();
  if (worker) worker->stop();
  io.out << "Stopped." << std::endl;
  return 0;
}

// The code page's canonical name, or a usage error naming the known ones.
std::string requireCharset(const std::string& given) {
  const std::string charset = canonicalCharset(given);
  if (charset.empty()) throw UsageError("unknown code page \"" + given + "\"; known are " + knownCharsets());
  return charset;
}

int accountAdd(const Args& args, Io& io) {
  const std::string& name = args.positional[0];
  if (name.empty()) throw UsageError("the account name must not be empty");
  const std::string password = requirePassword(args, io);
  const std::string* credits = args.option("credits");
  if (!credits) throw UsageError("missing --credits N|unlimited");
  const Balance balance = requireBalance(*credits);
  const std::string* given = args.option("charset");
  const std::string charset = given ? requireCharset(*given) : std::string();

  GatewayStore store(storePath(args));
  if (store.findAccount(name)) {
    io.err << kProgram << ": an account named \"" << name << "\" already exists\n";
    return 1;
  }
  store.addAccount(name, hashPassword(password), balance);
  if (!charset.empty()) store.setCharset(name, charset);
  io.out << "Added the account \"" << name << "\" with " << creditsText(balance)
         << (charset.empty() ? "" : "; texts that are not UTF-8 are read as " + charset) << ".\n";
  return 0;
}

int accountSetCredits(const Args& args, Io& io) {
  const std::string& name = args.positional[0];
  const std::string* option = args.option("credits");
  if (option && args.positional.size() > 1) throw UsageError("give the credits once, not both as argument and --credits");
  if (!option && args.positional.size() < 2) throw UsageError("missing the credits (N or unlimited)");
  const Balance balance = requireBalance(option ? *option : args.positional[1]);

  GatewayStore store(storePath(args));
  if (!store.setBalance(name, balance)) {
    io.err << kProgram << ": there is no account named \"" << name << "\"\n";
    return 1;
  }
  io.out << "The account \"" << name << "\" now has " << creditsText(balance) << ".\n";
  return 0;
}

int accountSetPassword(const Args& args, Io& io) {
  const std::string& name = args.positional[0];
  const std::string password = requirePassword(args, io);
  GatewayStore store(storePath(args));
  auto account = store.findAccount(name);
  if (!account || !store.setPasswordHash(account->id, hashPassword(password))) {
    io.err << kProgram << ": there is no account named \"" << name << "\"\n";
    return 1;
  }
  io.out << "Changed the password of \"" << name << "\".\n";
  return 0;
}

int accountSetCharset(const Args& args, Io& io) {
  const std::string& name = args.positional[0];
  const std::string charset = requireCharset(args.positional[1]);
  GatewayStore store(storePath(args));
  if (!store.setCharset(name, charset)) {
    io.err << kProgram << ": there is no account named \"" << name << "\"\n";
    return 1;
  }
  io.out << "Texts from \"" << name << "\" that are not UTF-8 are now read as " << charset << ".\n";
  return 0;
}

int accountList(const Args& args, Io& io) {
  GatewayStore store(storePath(args));
  const auto accounts = store.accounts();
  if (accounts.empty()) {
    io.out << "No accounts.\n";
    return 0;
  }
  std::size_t width = 4, creditsWidth = 7;
  for (const auto& a : accounts) {
    width = std::max(width, a.name.size());
    creditsWidth = std::max(creditsWidth, formatBalance(a.balance).size());
  }
  auto row = [&](const std::string& name, const std::string& credits, const std::string& charset) {
    io.out << std::left << std::setw(static_cast<int>(width)) << name << "  "
           << std::setw(static_cast<int>(creditsWidth)) << credits << "  " << charset << "\n";
  };
  row("NAME", "CREDITS", "CHARSET");
  for (const auto& a : accounts) row(a.name, formatBalance(a.balance), a.charset);
  return 0;
}

int listMessages(const Args& args, Io& io) {
  std::size_t limit = 20;
  if (const std::string* text = args.option("limit")) {
    auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), limit);
    if (text->empty() || ec != std::errc() || end != text->data() + text->size())
      throw UsageError("--limit needs a whole number, not \"" + *text + "\"");
  }
  std::optional<std::string> account;
  if (const std::string* name = args.option("account")) account = *name;

  GatewayStore store(storePath(args));
  if (account && !store.findAccount(*account)) {
    io.err << kProgram << ": there is no account named \"" << *account << "\"\n";
    return 1;
  }
  const auto messages = store.messages(account, limit);
  if (messages.empty()) {
    io.out << "No messages.\n";
    return 0;
  }
  io.out << "ID\tTIME (UTC)\tACCOUNT\tRECIPIENT\tSTATUS\tPARTS\tCOST\tTEXT\tSTATUS TIME (UTC)\tUPSTREAM SAID\n";
  for (const auto& m : messages) {
    io.out << m.id << "\t" << m.time << "\t" << oneLine(m.account) << "\t" << oneLine(m.recipient) << "\t"
           << m.status << "\t" << m.parts << "\t" << m.cost << "\t" << oneLine(m.text);
    // Messages kept here only have no delivery columns.
    if (!m.statusTime.empty()) io.out << "\t" << m.statusTime << "\t" << oneLine(m.upstreamStatus);
    io.out << "\n";
  }
  return 0;
}

int upstreamSet(const Args& args, Io& io) {
  const std::string& kind = args.positional[0];
  const std::string path = storePath(args);
  const std::string configPath = upstreamConfigPath(path);
  UpstreamConfig config = loadUpstream(path);
  if (kind == "store") {
    for (const char* o : {"url", "user", "password", "from", "smsc", "dlr-url"})
      if (args.option(o)) throw UsageError(std::string("--") + o + " belongs to \"upstream set kannel\"");
    config.kind = "store";
  } else if (kind == "kannel") {
    const bool wasKannel = config.kannel();
    config.kind = "kannel";
    auto take = [&](const char* name, std::string& field, bool required) {
      if (const std::string* v = args.option(name)) field = *v;
      else if (required && !wasKannel) throw UsageError(std::string("missing --") + name);
    };
    take("url", config.url, true);
    take("user", config.user, true);
    if (args.option("password")) config.password = requirePassword(args, io);
    else if (!wasKannel) throw UsageError("missing --password");
    take("from", config.from, false);
    take("smsc", config.smsc, false);
    take("dlr-url", config.dlrBase, false);
  } else {
    throw UsageError("the upstream is \"store\" or \"kannel\", not \"" + kind + "\"");
  }
  try {
    saveUpstreamConfig(configPath, config);
  } catch (const UpstreamError& e) {
    io.err << kProgram << ": " << e.what() << "\n";
    return 1;
  }
  GatewayStore store(path);
  Outbox(path).setUpstream(config.kind);
  io.out << describeUpstream(loadUpstreamConfig(configPath));
  io.out << "Saved in " << configPath << ". A running gateway uses it from its next start.\n";
  return 0;
}

int upstreamShow(const Args& args, Io& io) {
  io.out << describeUpstream(loadUpstream(storePath(args)));
  return 0;
}

const std::vector<Command>& commands() {
  static const std::vector<Command> all = {
      {{"serve"}, {"listen", "db", "max-parts", "validity", "tls-cert", "tls-key"}, {}, 0,
       R"(Usage: quorvel-gateway serve [--listen HOST:PORT] [--db PATH] [--max-parts N] [--validity TIME]
                             [--tls-cert FILE --tls-key FILE | --plain-http]

Answers requests on http://HOST:PORT/kavri until Ctrl+C or SIGTERM.
  --listen HOST:PORT  address to listen on (default 127.0.0.1:9333, the local
                      machine only; port 0 picks a free port)
  --db PATH           the store file
  --max-parts N       the longest text taken, in SMS parts (1 to 255, default
                      10); a batch holding a longer one is refused whole.
                      Each message costs one credit per SMS part.
  --validity TIME     with the kannel upstream: a message not handed over this
                      long after it was accepted is given up and what it cost
                      returned (24h, 90m, 3600 seconds; default 24h)
  --tls-cert FILE     serve HTTPS with this PEM certificate (chain) ...
  --tls-key FILE      ... and its PEM private key
  --plain-http        serve plain HTTP on an address other than the loopback
                      address (refused without it: passwords travel in every
                      request)

The first line of output names the address, for example
"Listening on http://127.0.0.1:9333/kavri". On a loopback address with the
store upstream, a store without accounts gets the account "nobody" with the
password "pqr456" and 100 credits; elsewhere add accounts with "account add".
Failed sign-ins are written to the output, one line each.
)",
       serve, {"plain-http"}},
      {{"account", "add"}, {"password", "credits", "charset", "db"}, {"NAME"}, 0,
       R"(Usage: quorvel-gateway account add NAME --password P --credits N|unlimited [--charset CHARSET] [--db PATH]

Creates an account. --password - reads the password from the first line of
standard input, which keeps it out of the process list. --charset is the code
page of its clients' texts that are not UTF-8 (see account set-charset).
)",
       accountAdd},
      {{"account", "set-credits"}, {"credits", "db"}, {"NAME", "the credits (N or unlimited)"}, 1,
       R"(Usage: quorvel-gateway account set-credits NAME N|unlimited [--db PATH]

Sets the balance of an account to N credits (0 to 2147483647), or unlimited.
)",
       accountSetCredits},
      {{"account", "set-password"}, {"password", "db"}, {"NAME"}, 0,
       R"(Usage: quorvel-gateway account set-password NAME --password P [--db PATH]

Changes the password of an account (--password - reads it from standard input).
)",
       accountSetPassword},
      {{"account", "set-charset"}, {"db"}, {"NAME", "CHARSET"}, 0,
       R"(Usage: quorvel-gateway account set-charset NAME CHARSET [--db PATH]

Texts and recipients are taken as UTF-8 when they are valid UTF-8; any other
text from the account is read in this code page (default windows-1252, what
clients on Western Windows send). Known: windows-874, windows-1250 to
windows-1258, iso-8859-1, iso-8859-2, iso-8859-15.
)",
       accountSetCharset},
      {{"account", "list"}, {"db"}, {}, 0,
       R"(Usage: quorvel-gateway account list [--db PATH]

Shows every account with its balance and code page.
)",
       accountList},
      {{"messages"}, {"account", "limit", "db"}, {}, 0,
       R"(Usage: quorvel-gateway messages [--account NAME] [--limit N] [--db PATH]

Shows the newest accepted messages first: at most N (default 20), of one
account or of all, each with the SMS parts it takes and the credits it cost
(0 for an unlimited account).
)",
       listMessages},
      {{"upstream", "set"}, {"url", "user", "password", "from", "smsc", "dlr-url", "db"}, {"KIND"}, 0,
       R"(Usage: quorvel-gateway upstream set kannel --url URL --user NAME --password P
                                   [--from SENDER] [--smsc ID] [--dlr-url URL] [--db PATH]
       quorvel-gateway upstream set store [--db PATH]

kannel: accepted messages are queued and handed to Kannel's sendsms interface
  --url URL       e.g. http://127.0.0.1:13013/cgi-bin/sendsms (Kannel's sendsms-port)
  --user NAME     a sendsms-user of Kannel, with its --password (- reads it
                  from standard input)
  --from SENDER   the sender number or name; Kannel's default when left out
  --smsc ID       route through this smsc-id of Kannel only
  --dlr-url URL   how Kannel reaches this gateway for delivery reports
                  (default: the address the gateway listens on)
  Options left out keep their earlier values.
store: messages are kept in the store and not sent on (the default).

The settings go to upstream.conf beside the store, readable by its owner only.
)",
       upstreamSet},
      {{"upstream", "show"}, {"db"}, {}, 0,
       R"(Usage: quorvel-gateway upstream show [--db PATH]

Shows where accepted messages go. The password is never shown.
)",
       upstreamShow},
  };
  return all;
}

const Command* findCommand(const std::vector<std::string>& args) {
  for (const Command& c : commands()) {
    if (args.size() < c.path.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < c.path.size(); ++i) same = same && args[i] == c.path[i];
    if (same) return &c;
  }
  return nullptr;
}

bool isHelp(const std::string& a) { return a == "--help" || a == "-h"; }

} // namespace

std::optional<ListenAddress> parseListenAddress(const std::string& text) {
  std::string host = kDefaultHost;
  std::string port = text;
  if (const std::size_t colon = text.rfind(':'); colon != std::string::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (host.empty()) return std::nullopt;
  }
  int value = -1;
  auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value < 0 || value > 65535)
    return std::nullopt;
  return ListenAddress{host, value};
}

int runCommandLine(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
  Io io{in, out, err};
  if (args.empty()) {
    err << kMainHelp;
    return 2;
  }
  if (isHelp(args[0])) {
    out << kMainHelp;
    return 0;
  }
  const Command* command = findCommand(args);
  if (!command) {
    if (args[0] == "upstream") {
      err << kProgram << ": use \"upstream set kannel|store\" or \"upstream show\"\n";
      return 2;
    }
    if (args[0] == "account") {
      const bool help = args.size() > 1 && isHelp(args[1]);
      (help ? out : err) << kAccountHelp;
      if (!help && args.size() > 1) err << "\n" << kProgram << ": unknown subcommand \"account " << args[1] << "\"\n";
      return help ? 0 : 2;
    }
    err << kProgram << ": unknown command \"" << args[0] << "\"; try " << kProgram << " --help\n";
    return 2;
  }
  try {
    const Args parsed = parseArgs(args, command->path.size(), *command);
    if (parsed.help) {
      out << command->help;
      return 0;
    }
    return command->run(parsed, io);
  } catch (const UsageError& e) {
    err << kProgram << ": " << e.what() << "\n\n" << command->help;
    return 2;
  } catch (const std::exception& e) {
    err << kProgram << ": " << e.what() << "\n";
    return 1;
  }
}

} // namespace quorvel::gateway
