// One send to 1, 100 and 10,000 recipients against the bundled gateway: the
// request built, the round trip, the copy filed in Sent Items, and the whole
// send through the composer window.
#include "Emapi/unEmail.h"
#include "Emapi/unMapiUtils.h"
#include "composer/unGatewayRequest.h"
#include "composer/unSMSForm.h"
#include "composer/unSendAction.h"
#include "gateway/gatewayEmbedded.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace quorvel;

// A text as people send them, and one that fills a whole SMS.
const std::string kShortText = "Meeting moved to 3 pm, see you there!";
const std::string kFullText(160, 'x');

const std::string& textOf(const benchmark::State& state) {
  return state.range(1) == 0 ? kShortText : kFullText;
}

// "Name [+3630xxxxxxx] " entries as the address dialog writes them, ";" between.
std::string recipients(int64_t n) {
  std::string recip;
  for (int64_t i = 0; i < n; ++i)
    recip += "Contact " + std::to_string(i) + " [+3630" + std::to_string(1000000 + i) + "] ;";
  return recip;
}

/// The window with its dialogs answered: a benchmark has no user.
class QuietForm : public TfrmSMSComposer {
public:
  std::vector<std::string> said;
  void showMessage(const std::string& text) override { said.push_back(text); }
  MsgResult messageBox(const std::string& text, const std::string&, MsgIcon, MsgButtons) override {
    said.push_back(text);
    return MsgResult::ok;
  }
};

/// Everything a send needs, made once for the program: a private settings
/// and mail store, the bundled gateway with an unlimited account, a window.
struct World {
  QTemporaryDir home;
  std::unique_ptr<gateway::EmbeddedGateway> gateway;
  std::unique_ptr<QuietForm> form;

  World() {
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
    gateway::EmbeddedOptions options;
    options.cost = gateway::HashCost{10, 8, 1};
    gateway = std::make_unique<gateway::EmbeddedGateway>(
        home.filePath("gateway.sqlite").toStdString(), options);
    gateway->store().setBalance("nobody", gateway::Balance{true, 0});
    form = std::make_unique<QuietForm>();
    form->eServerURL->setText(QString::fromStdString(gateway->url()));
    form->eUserName->setText("nobody");
    form->ePass->setText("pqr456");
    form->credits = "unlimited";
  }

  TGatewaySettings settings() const { return {gateway->url(), "nobody", "pqr456"}; }
};

World& world() {
  static World* w = new World; // lives until the program ends
  return *w;
}

void BM_BuildRequest(benchmark::State& state) {
  const std::string recip = recipients(state.range(0));
  const TGatewaySettings settings = world().settings();
  std::size_t bytes = 0;
  for (auto _ : state) {
    const TSendAction action = buildSendAction(recipientList(recip), textOf(state));
    TGatewayRequest request(settings, action.fields);
    bytes = request.body().size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["body_bytes"] = static_cast<double>(bytes);
}

void BM_RoundTrip(benchmark::State& state) {
  const TSendAction action =
      buildSendAction(recipientList(recipients(state.range(0))), textOf(state));
  const TGatewayRequest prepared(world().settings(), action.fields);
  for (auto _ : state) {
    TGatewayRequest request(world().settings(), action.fields);
    request.post();
    if (!request.errormessage.empty() || request.httpStatus != 200) {
      state.SkipWithError(("refused: " + request.statusLine + request.errormessage).c_str());
      break;
    }
  }
  state.counters["body_bytes"] = static_cast<double>(prepared.body().size());
}

void BM_FileCopy(benchmark::State& state) {
  const std::vector<std::string> list = recipientList(recipients(state.range(0)));
  for (auto _ : state) {
    TkaEmail email;
    email.toAddr = list;
    email.fromAddr = senderAddress("nobody", world().gateway->url());
    email.body = textOf(state);
    email.subject = smsSubject(email.body);
    world().form->myMapi->CreateMessage(mapi::PR_IPM_SENTMAIL_ENTRYID, &email);
  }
}

// The whole send as the user starts it: checks, request, log, answer, copy,
// silent balance refresh.
void BM_SendThroughWindow(benchmark::State& state) {
  const std::string recip = recipients(state.range(0));
  QuietForm& form = *world().form;
  for (auto _ : state) {
    form.said.clear();
    form.sendSMS(recip, textOf(state));
    if (form.donthide || !form.said.empty()) {
      const std::string log = form.comlogText();
      const std::size_t response = log.rfind("[RESPONSE]\r\n");
      state.SkipWithError(("refused: " + (form.said.empty() ? std::string() : form.said[0]) +
                           " " + log.substr(response == std::string::npos ? 0 : response + 12, 40))
                              .c_str());
      break;
    }
    form.credits = "unlimited";
  }
}

void sizes(benchmark::internal::Benchmark* b) {
  for (int64_t text : {0, 1})
    for (int64_t n : {1, 100, 10000})
      b->Args({n, text});
  b->ArgNames({"recipients", "fullText"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_BuildRequest)->Apply(sizes);
BENCHMARK(BM_RoundTrip)->Apply(sizes);
BENCHMARK(BM_FileCopy)->Apply(sizes);
BENCHMARK(BM_SendThroughWindow)->Apply(sizes);

} // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
