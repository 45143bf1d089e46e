// The HTTP client over the real WinINet: a form POST to a loopback server
// and its answer, a port where nobody listens,
// and HTTPS to a server with a self-signed certificate.
// Usage: http_client_round_trip PORT REFUSED_PORT TLS_PORT
#include "http/unHTTPClient.h"

#include "platformCheck.h"

#include <string>
#include <vector>

namespace {

bool hasLine(const std::vector<std::string>& lines, const std::string& start) {
  for (const std::string& line : lines)
    if (line.rfind(start, 0) == 0) return true;
  return false;
}

void postAndAnswer(const std::string& port) {
  quorvel::TkaHTTPClient client;
  std::vector<std::string> progress;
  client.reportwininet = true;
  client.onReport = [&](const std::string& line) { progress.push_back(line); };
  const std::string answer = client.postData("http://127.0.0.1:" + port + "/gateway/send?x=1",
                                             "user=kavri&text=Gr%C3%BC%C3%9Fe");
  // The server echoes the body it received inside its answer.
  CHECK(answer == "<answer>user=kavri&text=Gr%C3%BC%C3%9Fe</answer>");
  CHECK(client.errorcode == 0);
  CHECK(client.errormessage.empty());
  CHECK(hasLine(client.AResponseHeaders, "HTTP/1.1 200"));
  CHECK(hasLine(client.ARequestHeaders, "POST /gateway/send?x=1 HTTP/1.1"));
  CHECK(hasLine(client.ARequestHeaders, "Content-Type: application/x-www-form-urlencoded"));
  // Notifications reach the client's callback through the relay.
  CHECK(hasLine(progress, "[WININET] 21 ")); // connected
  CHECK(hasLine(progress, "[WININET] 41 ")); // response received
  if (quorvel::wintest::failures())
    for (const std::string& line : progress)
      std::fprintf(stderr, "  progress: %s\n", line.c_str());
}

void refused(const std::string& port) {
  quorvel::TkaHTTPClient client;
  const std::string answer = client.postData("http://127.0.0.1:" + port + "/", "a=1");
  CHECK(answer.empty());
  CHECK(client.errorcode == 12029);
  CHECK(client.errormessage == "Cannot connect to host");
  if (quorvel::wintest::failures())
    std::fprintf(stderr, "  error %d: %s\n", int(client.errorcode), client.errormessage.c_str());
}

// HTTPS to a server whose certificate is self-signed and names another
// host: the client's default flags accept both, without a dialog; without
// accepting an unknown issuer the send fails with WinINet's code for it.
void secure(const std::string& port) {
  const struct {
    bool acceptUnknownIssuer;
    const char* answer;
    int32_t error;
  } cases[] = {{true, "<answer>a=1</answer>", 0}, {false, "", 12045}};
  for (const auto& c : cases) {
    quorvel::TkaHTTPClient client;
    client.popforcert = false;
    client.acceptinvalidca = c.acceptUnknownIssuer;
    const std::string answer = client.postData("https://127.0.0.1:" + port + "/secure", "a=1");
    CHECK(answer == c.answer);
    if (!CHECK(client.errorcode == c.error))
      std::fprintf(stderr, "  error %d: %s\n", int(client.errorcode), client.errormessage.c_str());
  }
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: http_client_round_trip PORT REFUSED_PORT TLS_PORT\n");
    return 2;
  }
  postAndAnswer(argv[1]);
  refused(argv[2]);
  secure(argv[3]);
  return quorvel::wintest::failures();
}
