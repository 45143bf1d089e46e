// Fuzz target: the registry's .reg text reader and writer.
// Properties: reading any text never crashes; a hive that was read is
// written as text that reads back to the same keys and values, and writing
// that again gives the same text.
#include "fuzzInput.h"

#include "registry/hive.h"

using namespace quorvel::winreg::detail;
using quorvel::fuzz::check;

namespace {

const char* const kRoot = "HKEY_CURRENT_USER";

std::string childPath(const std::string& path, const std::string& name) {
  return path.empty() ? name : path + "\\" + name;
}

bool sameValues(const std::vector<Value>& a, const std::vector<Value>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].data != b[i].data) return false;
  return true;
}

// Walks \p a from \p path and finds every key and value again in \p b.
void checkSameTree(Hive& a, Hive& b, const std::string& path, const std::string& text) {
  Key* ka = a.find(path);
  Key* kb = b.find(path);
  check(ka && kb, "every key is read back", path + "\n" + text);
  check(sameValues(ka->values, kb->values), "every value is read back unchanged", path + "\n" + text);
  const std::vector<std::string> names = a.subkeyNames(path);
  check(names == b.subkeyNames(path), "subkeys are read back in order", path + "\n" + text);
  for (const std::string& name : names) checkSameTree(a, b, childPath(path, name), text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Hive hive(kRoot);
  ParseError error;
  if (!parseHive(std::string(reinterpret_cast<const char*>(data), size), hive, error)) {
    check(error.line >= 0 && !error.reason.empty(), "a refusal says where and why");
    return 0;
  }
  const std::string text = hive.serialise();
  Hive again(kRoot);
  check(parseHive(text, again, error), "a written hive reads back", error.reason + "\n" + text);
  checkSameTree(hive, again, "", text);
  check(again.serialise() == text, "writing what was read back gives the same text", text);
  return 0;
}
