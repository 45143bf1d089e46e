// Tests of the registry text form: what each line reads as, and that written
// text reads back to the same values.
#include "registry/hive.h"
#include "registry/winreg.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

namespace quorvel::winreg::detail {
namespace {

using namespace std::string_literals;

const std::string kHead = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\S]\n";

// Every value of a hive: (folded key path, value name) -> (type, data).
using Values = std::map<std::pair<std::string, std::string>, std::pair<uint32_t, std::string>>;

void collect(Hive& hive, const std::string& path, Values& out) {
  if (Key* key = hive.find(path))
    for (const Value& v : key->values) out[{fold(path), v.name}] = {v.type, v.data};
  for (const std::string& name : hive.subkeyNames(path))
    collect(hive, path.empty() ? name : path + "\\" + name, out);
}

Values valuesOf(Hive& hive) {
  Values out;
  collect(hive, "", out);
  return out;
}

TEST(HiveText, EachLineReadsAsWritten) {
  struct Case {
    const char* what;
    std::string lines;       // after the header and a section [HKEY_CURRENT_USER\S]
    Values expected;         // when the text is sound
    int damagedLine = 0;     // when it is not
  };
  const Case cases[] = {
      {"a comment ending in a backslash stays a comment",
       "; see C:\\dir\\\n\"A\"=\"1\"\n", {{{"s", "A"}, {REG_SZ, "1"}}}},
      {"wrapped hex data is joined", "\"H\"=hex:01,\\\n  02,\\\r\n  03\n\"B\"=\"2\"\n",
       {{{"s", "H"}, {REG_BINARY, "\x01\x02\x03"}}, {{"s", "B"}, {REG_SZ, "2"}}}},
      {"wrapped typed hex data is joined", "@=hex(0):01,\\\n02\n",
       {{{"s", ""}, {REG_NONE, "\x01\x02"}}}},
      {"text that is not UTF-8 is Windows-1252", "\"W\"=\"caf\xe9 \x80\"\n",
       {{{"s", "W"}, {REG_SZ, "caf\xc3\xa9 \xe2\x82\xac"}}}},
      {"UTF-8 text stays as it is", "\"U\"=\"caf\xc3\xa9\"\n",
       {{{"s", "U"}, {REG_SZ, "caf\xc3\xa9"}}}},
      {"a name that is not UTF-8 is Windows-1252", "\"n\xe9v\"=\"x\"\n",
       {{{"s", "n\xc3\xa9v"}, {REG_SZ, "x"}}}},
      {"a name may hold an escaped line break", "\"a\\nb\"=\"x\"\n",
       {{{"s", "a\nb"}, {REG_SZ, "x"}}}},
      {"a zero byte in a text is refused", "\"Z\"=\"a\0b\"\n"s, {}, 4},
      {"a zero byte in a name is refused", "\"a\0\"=\"x\"\n"s, {}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Hive hive("HKEY_CURRENT_USER");
    ParseError error;
    const bool ok = parseHive(kHead + c.lines, hive, error);
    if (c.damagedLine) {
      EXPECT_FALSE(ok);
      EXPECT_EQ(error.line, c.damagedLine);
      continue;
    }
    ASSERT_TRUE(ok) << error.line << ": " << error.reason;
    EXPECT_EQ(valuesOf(hive), c.expected);
  }
}

TEST(HiveText, WrittenTextReadsBackTheSameValues) {
  const std::string cases[] = {
      "\"n\xe9v\"=\"caf\xe9\"\n",
      "\"a\\nb\"=\"x\"\n\"\\\\n\"=\"y\"\n",
      "\"Q\"=\"say \\\"hi\\\" \\\\ \"\n",
      "\"L\"=hex(1):61,00,0a,00,62,00,00,00\n",
      "\"E\"=hex(2):25,00,48,00,00,d8,25,00\n",
      "\"D\"=dword:0000002a\n\"B\"=hex:00,ff\n\"T\"=hex(4):01,02,03\n",
      "\"C\"=\"\x7f\tcontrol\"\n",
      "@=\"default\"\n[HKEY_CURRENT_USER\\S\\Sub\\\\Deep]\n\"x\"=\"1\"\n",
  };
  for (const std::string& lines : cases) {
    SCOPED_TRACE(lines);
    Hive first("HKEY_CURRENT_USER");
    ParseError error;
    ASSERT_TRUE(parseHive(kHead + lines, first, error)) << error.line << ": " << error.reason;
    const std::string written = first.serialise();
    Hive second("HKEY_CURRENT_USER");
    ASSERT_TRUE(parseHive(written, second, error))
        << written << "\n" << error.line << ": " << error.reason;
    EXPECT_EQ(valuesOf(second), valuesOf(first)) << written;
    EXPECT_EQ(second.serialise(), written);
  }
}

} // namespace
} // namespace quorvel::winreg::detail
