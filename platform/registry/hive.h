// One registry root held in memory, and its .reg export text form.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quorvel::winreg::detail {

/// A stored value: strings hold their UTF-8 text without terminator, a
/// DWORD its four little-endian bytes, anything else its raw bytes.
struct Value {
  std::string name;
  uint32_t type = 0;
  std::string data;
};

/// A key with its path below the root as it was written.
struct Key {
  std::string path;
  std::vector<Value> values;

  Value* find(const std::string& name);
};

/// Orders folded paths so that a key comes right before its subkeys.
struct PathOrder {
  bool operator()(const std::string& a, const std::string& b) const;
};

/// ASCII case folding used for every name comparison.
std::string fold(const std::string& s);

/// Splits a key path at backslashes, dropping empty parts.
std::vector<std::string> splitPath(const std::string& path);

/// The keys of one root; the root itself is the key with the empty path.
class Hive {
public:
  explicit Hive(std::string rootName);

  const std::string& rootName() const { return rootName_; }
  Key* find(const std::string& path);
  /// Finds or creates the key and its parents; sets \p created when new.
  Key& create(const std::string& path, bool* created = nullptr);
  bool hasSubkeys(const std::string& path) const;
  /// The names of the keys right below \p path, in stored order.
  std::vector<std::string> subkeyNames(const std::string& path) const;
  /// Removes the key and everything below it (the root only loses content).
  void removeTree(const std::string& path);

  /// The .reg export text of the whole root.
  std::string serialise() const;

private:
  std::string rootName_;
  std::map<std::string, Key, PathOrder> keys_;
};

/// Where and why a text could not be read as a registry file.
struct ParseError {
  int line = 0;
  std::string reason;
};

/// Reads .reg export text into \p hive; false (with \p error) when damaged.
bool parseHive(const std::string& text, Hive& hive, ParseError& error);

/// Whether \p s is well-formed UTF-8.
bool isUtf8(const std::string& s);

} // namespace quorvel::winreg::detail
