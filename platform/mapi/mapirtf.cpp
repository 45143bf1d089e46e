// The compressed-RTF property format (an 8-bit header, then either the raw
// bytes or an LZ77 variant over a 4 KiB dictionary primed with common RTF
// text), the stream wrapper over it, RTFSync, and plain text from RTF.
#include "mapi/mapirtf.h"

#include "mapi/mapiexports.h"
#include "mapi/mapistream.h"
#include "mapi/mapitext.h"

#include <array>
#include <cctype>
#include <cstring>
#include <vector>

namespace quorvel::mapi {
namespace {

constexpr uint32_t kCompressed = 0x75465A4C;   // "LZFu"
constexpr uint32_t kUncompressed = 0x414C454D; // "MELA"
constexpr size_t kHeaderSize = 16;
constexpr size_t kDictSize = 4096;

// The dictionary starts with this text; compressed data may refer into it.
constexpr char kPrebuf[] =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss "
    "\\fmodern \\fscript \\fdecor MS Sans SerifSymbolArialTimes New RomanCourier"
    "{\\colortbl\\red0\\green0\\blue0\r\n\\par \\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
constexpr size_t kPrebufSize = sizeof kPrebuf - 1;

void putLe32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.push_back(char((v >> (8 * i)) & 0xFF));
}

uint32_t getLe32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | uint8_t(s[at + size_t(i)]);
  return v;
}

const std::array<uint32_t, 256>& crcTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k)
        c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  return table;
}

} // namespace

uint32_t rtfCrc(const std::string& data, uint32_t crc) {
  for (unsigned char b : data)
    crc = crcTable()[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc;
}

std::string rtfEncode(const std::string& raw, bool uncompressed) {
  std::string payload;
  uint32_t type = kUncompressed, crc = 0;
  if (uncompressed) {
    payload = raw;
  } else {
    // Every byte goes in as a literal (eight to a control byte); the end is
    // a reference to the current write position.
    type = kCompressed;
    size_t i = 0;
    bool endWritten = false;
    while (!endWritten) {
      size_t n = std::min<size_t>(8, raw.size() - i);
      uint8_t control = n < 8 ? uint8_t(1u << n) : 0;
      payload.push_back(char(control));
      payload.append(raw, i, n);
      i += n;
      if (n < 8) {
        uint16_t ref = uint16_t(((kPrebufSize + raw.size()) % kDictSize) << 4);
        payload.push_back(char(ref >> 8));
        payload.push_back(char(ref & 0xFF));
        endWritten = true;
      }
    }
    crc = rtfCrc(payload);
  }
  std::string out;
  putLe32(out, uint32_t(payload.size() + kHeaderSize - 4));
  putLe32(out, uint32_t(raw.size()));
  putLe32(out, type);
  putLe32(out, crc);
  return out + payload;
}

std::optional<std::string> rtfDecode(const std::string& stored) {
  if (stored.size() < kHeaderSize)
    return std::nullopt;
  uint32_t compSize = getLe32(stored, 0), rawSize = getLe32(stored, 4);
  uint32_t type = getLe32(stored, 8), crc = getLe32(stored, 12);
  if (compSize < kHeaderSize - 4 || compSize - (kHeaderSize - 4) > stored.size() - kHeaderSize)
    return std::nullopt;
  std::string payload = stored.substr(kHeaderSize, compSize - (kHeaderSize - 4));
  if (type == kUncompressed)
    return payload.size() >= rawSize ? std::optional(payload.substr(0, rawSize)) : std::nullopt;
  if (type != kCompressed || rtfCrc(payload) != crc)
    return std::nullopt;

  std::array<char, kDictSize> dict{};
  std::memcpy(dict.data(), kPrebuf, kPrebufSize);
  size_t write = kPrebufSize;
  std::string out;
  size_t in = 0;
  while (in < payload.size()) {
    uint8_t control = uint8_t(payload[in++]);
    for (int bit = 0; bit < 8 && in < payload.size(); ++bit) {
      if (!(control & (1u << bit))) {
        char c = payload[in++];
        out.push_back(c);
        dict[write++ % kDictSize] = c;
        continue;
      }
      if (in + 2 > payload.size())
        return std::nullopt;
      uint16_t ref = uint16_t(uint8_t(payload[in]) << 8 | uint8_t(payload[in + 1]));
      in += 2;
      size_t offset = ref >> 4, length = (ref & 0x0F) + 2;
      if (offset == write % kDictSize)
        return out.size() == rawSize ? std::optional(out) : std::nullopt;
      for (size_t k = 0; k < length; ++k) {
        char c = dict[(offset + k) % kDictSize];
        out.push_back(c);
        dict[write++ % kDictSize] = c;
      }
    }
  }
  return std::nullopt; // no end marker
}

bool looksLikeRtf(const std::string& content) { return content.rfind("{\\rtf", 0) == 0; }

namespace {

bool isHiddenDestination(const std::string& word) {
  static const char* const hidden[] = {"fonttbl", "colortbl", "stylesheet", "info",
                                       "pict",    "header",   "footer",     "object"};
  for (const char* h : hidden)
    if (word == h)
      return true;
  return false;
}

} // namespace

std::string rtfToText(const std::string& rtf) {
  struct Group {
    bool hidden;
    int ucSkip;
  };
  std::string out;
  std::vector<Group> stack{{false, 1}};
  int skip = 0; // characters still to drop after a \u value
  size_t i = 0;
  auto emitText = [&](const std::string& utf8) {
    if (skip > 0) {
      --skip;
      return;
    }
    if (!stack.back().hidden)
      out += utf8;
  };
  auto emit = [&](uint32_t cp) {
    std::string utf8;
    appendUtf8(utf8, cp);
    emitText(utf8);
  };
  while (i < rtf.size()) {
    char c = rtf[i];
    if (c == '{') {
      stack.push_back(stack.back());
      ++i;
      if (rtf.compare(i, 2, "\\*") == 0)
        stack.back().hidden = true;
    } else if (c == '}') {
      if (stack.size() > 1)
        stack.pop_back();
      ++i;
    } else if (c == '\r' || c == '\n') {
      ++i;
    } else if (c != '\\') {
      emitText(std::string(1, c));
      ++i;
    } else if (i + 1 < rtf.size() && !std::isalpha(uint8_t(rtf[i + 1]))) {
      char sym = rtf[i + 1];
      i += 2;
      if (sym == '\'' && i + 2 <= rtf.size() && std::isxdigit(uint8_t(rtf[i])) &&
          std::isxdigit(uint8_t(rtf[i + 1]))) {
        unsigned v = unsigned(std::stoul(rtf.substr(i, 2), nullptr, 16));
        i += 2;
        emitText(cp1252ToUtf8(std::string(1, char(v))));
      } else if (sym == '\\' || sym == '{' || sym == '}') {
        emit(uint8_t(sym));
      } else if (sym == '~') {
        emit(0xA0);
      } else if (sym == '\n' || sym == '\r') {
        emit('\n');
      }
    } else {
      size_t start = ++i;
      while (i < rtf.size() && std::isalpha(uint8_t(rtf[i])))
        ++i;
      std::string word = rtf.substr(start, i - start);
      std::string num;
      if (i < rtf.size() && (rtf[i] == '-' || std::isdigit(uint8_t(rtf[i])))) {
        size_t n0 = i++;
        while (i < rtf.size() && std::isdigit(uint8_t(rtf[i])))
          ++i;
        num = rtf.substr(n0, i - n0);
      }
      if (i < rtf.size() && rtf[i] == ' ')
        ++i;
      long value = num.empty() || num == "-" || num.size() > 9 ? 0 : std::stol(num);
      if (isHiddenDestination(word)) {
        stack.back().hidden = true;
      } else if (word == "par" || word == "line") {
        emit('\n');
      } else if (word == "tab") {
        emit('\t');
      } else if (word == "uc") {
        stack.back().ucSkip = int(value);
      } else if (word == "u") {
        emit(uint32_t(value < 0 ? value + 65536 : value));
        skip = stack.back().ucSkip;
      }
    }
  }
  return out;
}

namespace {

// The uncompressed side of a compressed-RTF property stream: written bytes
// are encoded into the property stream when committed.
HRESULT wrapForWriting(IStream* underlying, bool uncompressed, IStream** out) {
  Ref<IStream> target(underlying);
  underlying->AddRef();
  *out = new MemStream({}, [target, uncompressed](const std::string& raw) -> HRESULT {
    std::string stored = rtfEncode(raw, uncompressed);
    HRESULT hr = target->Seek(0, STREAM_SEEK_SET, nullptr);
    if (!HR_FAILED(hr))
      hr = target->SetSize(0);
    ULONG written = 0;
    if (!HR_FAILED(hr))
      hr = target->Write(stored.data(), ULONG(stored.size()), &written);
    return HR_FAILED(hr) ? hr : (written == stored.size() ? S_OK : MAPI_E_DISK_ERROR);
  });
  return S_OK;
}

} // namespace

HRESULT WrapCompressedRTFStream(IStream* stream, ULONG flags, IStream** out) {
  if (!stream || !out)
    return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  return guarded([&]() -> HRESULT {
    if (flags & MAPI_MODIFY)
      return wrapForWriting(stream, (flags & STORE_UNCOMPRESSED_RTF) != 0, out);
    std::string stored;
    if (HRESULT hr = readAll(stream, stored); HR_FAILED(hr))
      return hr;
    std::optional<std::string> raw = stored.empty() ? std::optional<std::string>("")
                                                    : rtfDecode(stored);
    if (!raw)
      return MAPI_E_CORRUPT_DATA;
    *out = new MemStream(std::move(*raw));
    return S_OK;
  });
}

/// The plain text held in a message's compressed-RTF property, if any.
std::optional<std::string> bodyFromRtfProperty(IMessage* message) {
  IUnknown* unk = nullptr;
  if (HR_FAILED(message->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, STGM_READ, 0, &unk)))
    return std::nullopt;
  Ref<IStream> stored(static_cast<IStream*>(unk));
  IStream* plain = nullptr;
  if (HR_FAILED(WrapCompressedRTFStream(stored.get(), 0, &plain)))
    return std::nullopt;
  Ref<IStream> wrapped(plain);
  std::string raw;
  if (HR_FAILED(readAll(wrapped.get(), raw)))
    return std::nullopt;
  return looksLikeRtf(raw) ? rtfToText(raw) : raw;
}

HRESULT RTFSync(IMessage* message, ULONG flags, BOOL* updated) {
  if (!message || !updated)
    return MAPI_E_INVALID_PARAMETER;
  *updated = 0;
  return guarded([&]() -> HRESULT {
    std::vector<SPropValue> props;
    std::string text;
    // A changed body is the truth; only a changed RTF alone rewrites the body.
    if ((flags & RTF_SYNC_RTF_CHANGED) && !(flags & RTF_SYNC_BODY_CHANGED)) {
      std::optional<std::string> body = bodyFromRtfProperty(message);
      if (!body)
        return MAPI_E_NOT_FOUND;
      text = std::move(*body);
      SPropValue v{};
      v.ulPropTag = PR_BODY;
      v.Value.lpszA = text.data();
      props.push_back(v);
    }
    SPropValue sync{};
    sync.ulPropTag = PR_RTF_IN_SYNC;
    sync.Value.b = 1;
    props.push_back(sync);
    HRESULT hr = message->SetProps(ULONG(props.size()), props.data(), nullptr);
    if (!HR_FAILED(hr))
      *updated = 1;
    return hr;
  });
}

} // namespace quorvel::mapi
