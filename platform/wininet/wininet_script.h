// A scripted table: answers every call from a script and records it, for tests.
#pragma once

#include "wininet/wininet.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quorvel::wininet {

/// While it lives, the table in use answers from this script (one at a time).
/// Handles are named in the call log by kind and number: "root#1", "connect#1", "request#1".
class ScriptedInternet {
public:
  /// One answer of InternetReadFile: bytes (a longer piece than asked for is
  /// handed out over several calls), or a failure with \p error.
  struct Read {
    std::string data;
    DWORD error = ERROR_SUCCESS;
  };
  /// A status notification raised during HttpSendRequestA, with a text or a 4-byte value.
  struct Notification {
    DWORD status;
    std::string text;
    DWORD value = 0;
    bool isValue = false;
  };

  ScriptedInternet();
  ~ScriptedInternet();
  ScriptedInternet(const ScriptedInternet&) = delete;
  ScriptedInternet& operator=(const ScriptedInternet&) = delete;

  // ---- the script ----
  DWORD openError = ERROR_SUCCESS;        ///< InternetOpenA fails with this code
  DWORD connectError = ERROR_SUCCESS;     ///< InternetConnectA fails with this code
  DWORD openRequestError = ERROR_SUCCESS; ///< HttpOpenRequestA fails with this code
  DWORD setOptionError = ERROR_SUCCESS;   ///< InternetSetOptionA fails with this code
  /// One result per HttpSendRequestA call in turn (0 = success); success after the list.
  std::vector<DWORD> sendErrors;
  /// Raw header blocks the queries are answered from.
  std::string requestHeaders = "POST / HTTP/1.1\r\nHost: localhost\r\n\r\n";
  std::string responseHeaders = "HTTP/1.1 200 OK\r\n\r\n";
  /// Forced failures of HttpQueryInfoA by info level.
  std::map<DWORD, DWORD> queryErrors;
  /// The body, in pieces of the size asked for (used when reads is empty).
  std::string body;
  /// Answers of InternetReadFile in turn; 0 bytes after the list.
  std::vector<Read> reads;
  /// Results of InternetErrorDlg in turn; ERROR_CANCELLED after the list.
  std::vector<DWORD> dialogResults;
  /// Raised on the request handle during every HttpSendRequestA.
  std::vector<Notification> sendNotifications;

  // ---- what happened ----
  std::vector<std::string> calls;  ///< one line per call
  std::vector<DWORD> dialogErrors; ///< the codes the dialog was shown for
  DWORD_PTR connectContext = 0;    ///< context of the last InternetConnectA
  DWORD_PTR requestContext = 0;    ///< context of the last HttpOpenRequestA
  /// Handles opened and not closed yet.
  int openHandles() const;
  /// The calls whose line starts with \p name.
  std::vector<std::string> callsOf(const std::string& name) const;

  struct State; ///< the handles and the read position
  std::unique_ptr<State> state;

private:
  const InternetApi* previous_;
};

} // namespace quorvel::wininet
