// Test support for the gateway conversation: a composer window with a mail
// store of its own, the bundled gateway on a free port, scripted servers,
// and readers for the log and the Sent Items folder.
#pragma once

#include "canned_server.h"
#include "composerProbe.h"
#include "gateway/gatewayEmbedded.h"

#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvel {

/// One message file of the Sent Items folder.
struct StoredCopy {
  std::string path;
  bool seen = false;   ///< filed as read
  std::string header;  ///< header lines, LF ends, unfolded
  std::string body;
  /// The value of header \p name ("" when absent).
  std::string field(const std::string& name) const;
};

/// Each test gets its own settings store, mail store and gateway store; the
/// window is made in SetUp, pointed at the bundled gateway and not shown.
class GatewayTest : public ComposerTest {
protected:
  void SetUp() override;
  void TearDown() override;

  /// Starts the bundled gateway (nobody / pqr456 / 100 credits).
  gateway::EmbeddedGateway& bundledGateway();
  /// Points the server URL setting at \p url.
  void useServer(const std::string& url);
  /// Shows the window and waits until its background credit query is back.
  void showAndSettle();
  /// Runs the window thread's events until \p done is true (at most 30 s).
  static bool pumpUntil(const std::function<bool()>& done);
  /// The Sent Items folder's messages, oldest first.
  std::vector<StoredCopy> sentItems() const;

  QTemporaryDir dataHome;
  std::unique_ptr<ProbeForm> form;

private:
  std::unique_ptr<gateway::EmbeddedGateway> gateway_;
  QByteArray savedDataHome_;
};

/// A scripted gateway: answers credit queries with \p credits and every
/// other request with \p answer (both whole HTTP replies).
testing::CannedServer::Responder scriptedGateway(testing::CannedReply credits,
                                                 testing::CannedReply answer);
/// A gateway document whose Data element holds \p payload.
std::string dataDocument(const std::string& payload);
/// The requests \p server received whose body holds "action=" + \p action.
std::vector<testing::ReceivedRequest> requestsFor(const testing::CannedServer& server,
                                                  const std::string& action);
/// What a client reports for a request to \p url (its errormessage).
std::string transportError(const std::string& url);
/// True when \p log is the log of one exchange: a time stamp, the request
/// line for \p url, \p body and, when \p answer is given, the response part.
::testing::AssertionResult isExchangeLog(const std::string& log, const std::string& url,
                                         const std::string& body, const std::string* answer);

} // namespace quorvel
