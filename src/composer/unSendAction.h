// The send request's fields and the rules around them: recipients, numbers,
// the credit pre-check, the judging of the answer and the stored copy's
// subject and sender. No toolkit and no network here.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quorvel {

/// The marker of the gateway's login page; an answer holding it means the
/// gateway did not accept the user name or password.
inline constexpr const char* gatewayLoginMarker =
    "<input type=hidden name=\"action\" value=\"registerGUI\">";

/// True when there is nothing to send: no text, or no recipient at all
/// (\p recip empty or just ";").
bool sendInputMissing(const std::string& recip, const std::string& msg);

/// \p recip split at ";": empty entries stay, a trailing ";" adds none.
std::vector<std::string> recipientList(const std::string& recip);

/// True when \p count messages may be sent with the balance \p credits:
/// "unlimited" covers any count; any other text counts as its number ("" as 0).
bool creditsCover(std::size_t count, const std::string& credits);

/// The number of one recipient entry: the trimmed entry after its first "["
/// (the whole entry without one), every "]" removed. False when nothing
/// follows the "[" (or the trimmed entry is empty).
bool recipientNumber(const std::string& entry, std::string& number);

/// The action fields of one send request, or the entry that stopped it.
struct TSendAction {
  /// "action=sendMessages", the recepient/messageData pairs and, when
  /// allowed, "&messageCount=" + the count.
  std::string fields;
  bool allowed = true;
  /// The untrimmed entry without a number (when not allowed).
  std::string missingEntry;
  /// Entries in the list, less one when an entry had no number.
  int messageCount = 0;
};

/// Builds the send action for \p recipients and the text \p msg (sent
/// trimmed and encoded, the same for every recipient). Stops at the first
/// entry without a number.
TSendAction buildSendAction(const std::vector<std::string>& recipients, const std::string& msg);

/// True when the gateway refused a send: its login page, or "[ERROR]".
bool isRefusedSendAnswer(const std::string& answer);

/// Characters (Unicode code points) the stored copy's subject keeps of the text.
inline constexpr std::size_t subjectTextLength = 40;

/// "[SMS] " + \p msg, cut after 40 characters (not bytes: UTF-8 sequences
/// stay whole) and followed by "..." when longer.
std::string smsSubject(const std::string& msg);

/// The host named by the server URL: without its scheme, port, path, query
/// or user part ("127.0.0.1" for "http://127.0.0.1:9333").
std::string senderHost(const std::string& serverURL);

/// The stored copy's sender: \p userName + "@" + the host of \p serverURL.
std::string senderAddress(const std::string& userName, const std::string& serverURL);

} // namespace quorvel
