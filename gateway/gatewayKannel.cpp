// Handing one SMS part to Kannel through its sendsms HTTP interface.
#include "gateway/gatewayKannel.h"

#include <curl/curl.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace quorvel::gateway {

namespace {

// Kannel's report types: delivered, undelivered, buffered, taken by the
// SMSC, refused by the SMSC.
constexpr int kAllReports = 1 | 2 | 4 | 8 | 16;

// UTF-8 to UTF-16 big-endian bytes, the form of coding=2 texts.
std::string utf16be(const std::string& s) {
  std::string out;
  auto put = [&](unsigned u) {
    out += static_cast<char>(u >> 8);
    out += static_cast<char>(u & 0xFF);
  };
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    unsigned cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (int k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += static_cast<std::size_t>(n);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
  }
  return out;
}

std::string oneLine(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s.size() > 200 ? s.substr(0, 200) : s;
}

// Keeps the start of Kannel's answer: one line of it is all that is shown.
size_t keepAnswer(char* data, size_t size, size_t count, void* to) {
  auto* body = static_cast<std::string*>(to);
  const size_t n = size * count;
  if (body->size() < 4096) body->append(data, std::min(n, 4096 - body->size()));
  return n;
}

} // namespace

std::string reportKey(const std::string& secret, std::int64_t id, int part) {
  const std::string data = "dlr " + std::to_string(id) + " " + std::to_string(part);
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (!HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()),
            reinterpret_cast<const unsigned char*>(data.data()), data.size(), mac, &size))
    throw std::runtime_error("no HMAC for the report key");
  static const char* hex = "0123456789abcdef";
  std::string key;
  for (unsigned int i = 0; i < 16 && i < size; ++i) {
    key += hex[mac[i] >> 4];
    key += hex[mac[i] & 15];
  }
  return key;
}

std::string concatenationHeader(const SmsPart& p) {
  if (p.total <= 1) return {};
  const auto total = static_cast<char>(p.total), part = static_cast<char>(p.part);
  const auto high = static_cast<char>(p.reference >> 8), low = static_cast<char>(p.reference & 0xFF);
  if (p.wideReference) return std::string{6, 8, 4, high, low, total, part};
  return std::string{5, 0, 3, low, total, part};
}

std::string percentEncode(const std::string& s) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string kannelNumber(const std::string& recipient) {
  std::string number;
  for (char c : recipient) {
    if (std::isdigit(static_cast<unsigned char>(c))) number += c;
    else if (c == '+' && number.empty()) number = "+";
  }
  return number;
}

KannelClient::KannelClient(UpstreamConfig config, std::string reportBase)
    : config_(std::move(config)), reportBase_(std::move(reportBase)) {
  if (!config_.dlrBase.empty()) reportBase_ = config_.dlrBase;
  while (!reportBase_.empty() && reportBase_.back() == '/') reportBase_.pop_back();
  const std::size_t scheme = config_.url.find("://");
  const std::size_t slash = config_.url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  origin_ = config_.url.substr(0, slash);
  path_ = slash == std::string::npos ? "/cgi-bin/sendsms" : config_.url.substr(slash);
}

std::string KannelClient::requestTarget(const SmsPart& p) const {
  const std::string id = std::to_string(p.messageId);
  // Kannel fills in %d (report type), %A (its report text) and %T (its time).
  const std::string reportUrl = reportBase_ + "/dlr?id=" + id + "&part=" + std::to_string(p.part) +
                                "&k=" + reportKey(config_.dlrKey, p.messageId, p.part) +
                                "&type=%d&status=%A&ts=%T";
  std::string q = path_ + (path_.find('?') == std::string::npos ? "?" : "&");
  q += "username=" + percentEncode(config_.user) + "&password=" + percentEncode(config_.password);
  q += "&to=" + percentEncode(kannelNumber(p.recipient));
  if (!config_.from.empty()) q += "&from=" + percentEncode(config_.from);
  if (!config_.smsc.empty()) q += "&smsc=" + percentEncode(config_.smsc);
  if (p.unicode)
    q += "&coding=2&charset=UTF-16BE&text=" + percentEncode(utf16be(p.text));
  else
    q += "&coding=0&charset=UTF-8&text=" + percentEncode(p.text);
  if (p.total > 1) q += "&udh=" + percentEncode(concatenationHeader(p));
  q += "&dlr-mask=" + std::to_string(kAllReports) + "&dlr-url=" + percentEncode(reportUrl);
  return q;
}

HandOverResult KannelClient::send(const SmsPart& part) const {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) return {HandOver::refused, "Kannel request not made: out of memory"};
  std::string body;
  const std::string url = origin_ + requestTarget(part);
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  // Certificates are checked against the system's authorities, or the
  // bundle SSL_CERT_FILE names (a private authority for an own Kannel).
  if (const char* bundle = std::getenv("SSL_CERT_FILE"); bundle && *bundle) curl_easy_setopt(c, CURLOPT_CAINFO, bundle);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(config_.timings.requestTimeout));
  curl_easy_setopt(c, CURLOPT_TIMEOUT, static_cast<long>(config_.timings.requestTimeout));
  // A fresh connection for every part: a kept-alive connection the server
  // closed meanwhile would fail after the request went out, which looks
  // just like a lost answer.
  curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &keepAnswer);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);
  const CURLcode rc = curl_easy_perform(c);
  if (rc != CURLE_OK) {
    const std::string why = "Kannel " + origin_ + ": " + curl_easy_strerror(rc);
    // Before the request was complete, Kannel cannot have taken it; a
    // refused connection or a certificate that does not verify ends there.
    long sent = 0;
    curl_easy_getinfo(c, CURLINFO_REQUEST_SIZE, &sent);
    // Nothing went out at all (no connection, no name, no TLS session): the
    // upstream is out of reach for every message alike, so the queue waits.
    if (sent == 0 || rc == CURLE_COULDNT_CONNECT || rc == CURLE_COULDNT_RESOLVE_HOST)
      return {HandOver::refused, why, true};
    if (rc == CURLE_SEND_ERROR) return {HandOver::refused, why};
    return {HandOver::unknown, why};
  }
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  const std::string answer = std::to_string(status) + " " + oneLine(body);
  if (status >= 200 && status <= 299) return {HandOver::accepted, "Kannel: " + answer};
  return {HandOver::refused, "Kannel refused: " + answer};
}

} // namespace quorvel::gateway
