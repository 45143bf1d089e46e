// The credit query's request fields and the judging of its answer. No
// toolkit and no network here.
#pragma once

#include "composer/unDialogs.h"

#include <cstdint>
#include <string>

namespace quorvel {

/// "action=getCredits&t=" + \p unixSeconds in decimal.
std::string creditActionFields(int64_t unixSeconds);

/// The answer a credit query goes on with: "[ERROR] " + \p errormessage when
/// the client left one, whatever body arrived; else \p body.
std::string creditAnswer(const std::string& body, const std::string& errormessage);

/// What a credit answer means.
enum class TCreditVerdict {
  empty,           ///< no answer at all: nothing to say, nothing changes
  cannotConnect,   ///< the answer contains "ERROR"
  wrongLogin,      ///< the answer contains "HTML": the gateway's login page
  invalidResponse, ///< the payload is not a 32-bit integer
  success          ///< the payload is the balance
};

/// The verdict on one credit answer and what the user is told about it.
struct TCreditOutcome {
  TCreditVerdict verdict = TCreditVerdict::empty;
  /// The new balance ("unlimited" for a negative one); set only on success.
  std::string credits;
  /// The box shown when the user asked for the query; no text for `empty`.
  std::string text;
  std::string caption;
  MsgIcon icon = MsgIcon::none;
};

/// Judges \p answer (case-sensitive searches, in this order: "ERROR",
/// "HTML", then the payload as an integer). \p serverURL goes into the text
/// of the connection failure.
TCreditOutcome judgeCreditAnswer(const std::string& answer, const std::string& serverURL);

} // namespace quorvel
