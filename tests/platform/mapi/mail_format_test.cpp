// The formats of the mail library: compressed RTF, Internet mail text, and
// the memory rules of its buffers.
#include "mapi/mapiexports.h"
#include "mapi/mapirtf.h"
#include "mapi/rfc5322.h"

#include <gtest/gtest.h>

namespace quorvel::mapi {
namespace {

std::string bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b)
    s.push_back(char(v));
  return s;
}

// The worked example of the published compressed-RTF format.
const std::string kExampleRaw = "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n";
const std::string kExampleCompressed =
    bytes({0x2d, 0x00, 0x00, 0x00, 0x2b, 0x00, 0x00, 0x00, 0x4c, 0x5a, 0x46, 0x75, 0xf1,
           0xc5, 0xc7, 0xa7, 0x03, 0x00, 0x0a, 0x00, 0x72, 0x63, 0x70, 0x67, 0x31, 0x32,
           0x35, 0x42, 0x32, 0x0a, 0xf3, 0x20, 0x68, 0x65, 0x6c, 0x09, 0x00, 0x20, 0x62,
           0x77, 0x05, 0xb0, 0x6c, 0x64, 0x7d, 0x0a, 0x80, 0x0f, 0xa0});

TEST(CompressedRtf, DecodesThePublishedExample) {
  auto raw = rtfDecode(kExampleCompressed);
  ASSERT_TRUE(raw);
  EXPECT_EQ(*raw, kExampleRaw);
}

TEST(CompressedRtf, RejectsADamagedChecksum) {
  std::string damaged = kExampleCompressed;
  damaged[20] ^= 1;
  EXPECT_FALSE(rtfDecode(damaged));
  EXPECT_FALSE(rtfDecode("short"));
}

TEST(CompressedRtf, BothFormsRoundTripAnyBytes) {
  const std::string texts[] = {"", "a", "12345678", "123456789", "Grüße aus Köln!\n",
                               std::string(5000, 'x') + std::string("\0\r\n", 3)};
  for (const auto& t : texts)
    for (bool uncompressed : {true, false}) {
      auto back = rtfDecode(rtfEncode(t, uncompressed));
      ASSERT_TRUE(back) << t.size() << " " << uncompressed;
      EXPECT_EQ(*back, t);
    }
}

TEST(CompressedRtf, TextOfAnRtfDocument) {
  EXPECT_EQ(rtfToText("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\*\\generator X;}"
                      "\\pard Gr\\'fc\\'dfe\\par\\tab \\u8364?5 \\{ok\\}}"),
            "Grüße\n\t€5 {ok}");
}

MailMessage sample() {
  MailMessage m;
  m.from = "demo@127.0.0.1";
  m.recipients = {{MAPI_TO, "Anna Berg [+49 170 1234567]", "", ""},
                  {MAPI_CC, "Jörg", "joerg@example.de", ""},
                  {MAPI_CC, "", "plain@example.org", ""},
                  {MAPI_BCC, "Anna \"the boss\" Berg", "boss@example.org", ""}};
  m.subject = "[SMS] Hello";
  m.date = 1700000000;
  m.body = "Hello";
  m.messageId = "1.M1P1Q1@host";
  return m;
}

TEST(MailText, HeadersOfAPlainMessage) {
  std::string text = renderMessage(sample());
  EXPECT_NE(text.find("From: demo@127.0.0.1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("To: \"Anna Berg [+49 170 1234567]\":;\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Cc: =?UTF-8?B?SsO2cmc=?= <joerg@example.de>,\n plain@example.org\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Bcc: \"Anna \\\"the boss\\\" Berg\" <boss@example.org>\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Subject: [SMS] Hello\n"), std::string::npos);
  EXPECT_NE(text.find("X-Priority: 3 (Normal)\nImportance: normal\n"), std::string::npos);
  EXPECT_NE(text.find("Content-Type: text/plain; charset=utf-8\n"
                      "Content-Transfer-Encoding: 7bit\n\nHello"),
            std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 7), "\n\nHello");
}

TEST(MailText, HeaderInjectionIsDefused) {
  struct Case {
    const char* what;
    void (*change)(MailMessage&);
    const char* line; // the header line it gives
  };
  const Case cases[] = {
      {"subject", [](MailMessage& m) { m.subject = "Hi\r\nBcc: victim@example.org"; },
       "\nSubject: Hi  Bcc: victim@example.org\n"},
      {"message id", [](MailMessage& m) { m.messageId = "1.M1@host>\r\nBcc: victim@example.org"; },
       "\nMessage-ID: <1.M1@hostBcc:victim@example.org>\n"},
      {"name", [](MailMessage& m) { m.recipients[0].name = "A\nBcc: victim@example.org"; },
       "\nTo: \"A Bcc: victim@example.org\":;\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MailMessage m = sample();
    c.change(m);
    std::string text = renderMessage(m);
    EXPECT_EQ(text.find("\nBcc: victim"), std::string::npos) << text;
    EXPECT_NE(text.find(c.line), std::string::npos) << text;
  }
}

// The header lines of a message, as written.
std::vector<std::string> headerLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos && end > start;
       start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

std::string base64Decode(const std::string& s) {
  static const std::string alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned bits = 0, count = 0;
  for (char c : s) {
    size_t v = alphabet.find(c);
    if (v == std::string::npos)
      continue;
    bits = (bits << 6) | unsigned(v);
    if ((count += 6) >= 8) {
      count -= 8;
      out.push_back(char((bits >> count) & 0xFF));
    }
  }
  return out;
}

// The value of \p field with folds undone and encoded words decoded (the
// blank between two encoded words belongs to neither).
std::string valueOf(const std::string& text, const std::string& field) {
  size_t start = text.find("\n" + field + ": ");
  if (start == std::string::npos)
    return "<missing>";
  start += field.size() + 3;
  std::string value;
  for (size_t i = start; i < text.size(); ++i) {
    if (text[i] == '\n' && (i + 1 == text.size() || text[i + 1] != ' '))
      break;
    if (text[i] != '\n')
      value.push_back(text[i]);
  }
  std::string out;
  for (size_t i = 0; i < value.size();) {
    if (value.compare(i, 10, "=?UTF-8?B?") != 0) {
      out.push_back(value[i++]);
      continue;
    }
    size_t end = value.find("?=", i + 10);
    out += base64Decode(value.substr(i + 10, end - i - 10));
    i = end + 2;
    size_t next = value.find_first_not_of(' ', i);
    if (next != std::string::npos && next > i && value.compare(next, 10, "=?UTF-8?B?") == 0)
      i = next;
  }
  return out;
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  while (n-- > 0)
    out += s;
  return out;
}

TEST(MailText, HeaderLinesStayWithinTheirLimits) {
  struct Case {
    const char* what;
    MailRecipient to;
    std::string subject;
    const char* field;
    std::string value; // the field's value, unfolded and decoded
  };
  const std::string words = repeat("word ", 199) + "word";
  const std::string joerg = repeat("J\xC3\xB6rg ", 99) + "J\xC3\xB6rg";
  const Case cases[] = {
      {"a long name without blanks", {MAPI_TO, std::string(1000, 'a'), "", ""}, "s", "To",
       std::string(1000, 'a') + ":;"},
      {"a long quoted name", {MAPI_TO, std::string(1000, 'a') + ".", "", ""}, "s", "To",
       std::string(1000, 'a') + ".:;"},
      {"a long name with blanks", {MAPI_TO, words, "", ""}, "s", "To", words + ":;"},
      {"a long quoted name with blanks", {MAPI_TO, words + ".", "a@b.example", ""}, "s", "To",
       "\"" + words + ".\" <a@b.example>"},
      {"a long name that is not ASCII", {MAPI_TO, joerg, "a@b.example", ""}, "s", "To",
       joerg + " <a@b.example>"},
      {"an address too long to be one", {MAPI_TO, "N", std::string(300, 'b') + "@example.org", ""},
       "s", "To", "N:;"},
      {"a long subject that is not ASCII", {}, repeat("\xC3\xA4", 600), "Subject",
       repeat("\xC3\xA4", 600)},
      {"a long subject without blanks", {}, std::string(1000, 'x'), "Subject",
       std::string(1000, 'x')},
      {"a long subject with blanks", {}, words, "Subject", words},
      {"text that looks like an encoded word", {MAPI_TO, "=?UTF-8?B?SGk=?=", "", ""},
       "=?UTF-8?B?SGk=?=", "Subject", "=?UTF-8?B?SGk=?="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MailMessage m = sample();
    m.recipients = {c.to};
    m.subject = c.subject;
    const std::string text = renderMessage(m);
    for (const std::string& line : headerLines(text)) {
      EXPECT_LE(line.size(), 998u) << line;
      if (line.find("=?") != std::string::npos) {
        EXPECT_LE(line.size(), 76u) << line;
      }
    }
    EXPECT_EQ(valueOf(text, c.field), c.value) << text;
  }
}

TEST(MailText, BodiesThatNeedItGoInBase64) {
  MailMessage m = sample();
  m.body = "line\r\nbreak";
  EXPECT_NE(renderMessage(m).find("Content-Transfer-Encoding: base64\n\nbGluZQ0KYnJlYWs=\n"),
            std::string::npos);
  m.body = "Grüße";
  EXPECT_NE(renderMessage(m).find("Content-Transfer-Encoding: 8bit\n\nGrüße"),
            std::string::npos);
}

TEST(MailText, LongNonAsciiSubjectIsSplitIntoEncodedWords) {
  std::string subject;
  for (int i = 0; i < 40; ++i)
    subject += "ä";
  std::string encoded = encodeHeaderText(subject);
  size_t lines = 1;
  size_t start = 0;
  for (size_t nl; (nl = encoded.find('\n', start)) != std::string::npos; start = nl + 1) {
    EXPECT_LE(nl - start, 76u);
    ++lines;
  }
  EXPECT_EQ(lines, 2u) << encoded;
}

TEST(MailText, DateCarriesTheLocalOffset) {
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(formatDate(1700000000), "Tue, 14 Nov 2023 22:13:20 +0000");
  setenv("TZ", "EST5", 1);
  tzset();
  EXPECT_EQ(formatDate(1700000000), "Tue, 14 Nov 2023 17:13:20 -0500");
  unsetenv("TZ");
  tzset();
}

TEST(Buffers, FollowUpAllocationsGoWithTheirRoot) {
  void* root = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(16, &root), S_OK);
  void* more[3] = {};
  for (auto& m : more)
    ASSERT_EQ(MAPIAllocateMore(100, root, &m), S_OK);
  EXPECT_NE(MAPIFreeBuffer(more[0]), ULONG(S_OK)); // only the root can be freed
  EXPECT_EQ(MAPIFreeBuffer(root), ULONG(S_OK));    // frees all four (checked under ASan)
  EXPECT_EQ(MAPIFreeBuffer(nullptr), ULONG(S_OK));
  EXPECT_EQ(MAPIAllocateMore(1, nullptr, &root), MAPI_E_INVALID_PARAMETER);
}

} // namespace
} // namespace quorvel::mapi
