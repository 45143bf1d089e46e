// Helpers shared by the fuzz targets: reading structured values from the
// fuzzer's bytes, and stopping on a broken property.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace quorvel::fuzz {

/// Stops the run when \p ok is false; libFuzzer keeps the input as a crash.
inline void check(bool ok, const char* what, const std::string& detail = {}) {
  if (ok) return;
  std::fprintf(stderr, "property broken: %s\n%s\n", what, detail.c_str());
  std::abort();
}

/// Reads values one after another from the fuzzer's bytes; once the bytes
/// are used up every read gives an empty or zero value.
class FuzzInput {
public:
  FuzzInput(const uint8_t* data, size_t size)
      : data_(reinterpret_cast<const char*>(data)), size_(size) {}

  bool empty() const { return pos_ >= size_; }

  /// Bytes up to a backslash followed by any other character than a
  /// backslash (which ends the string); a doubled backslash gives one. The
  /// form mutations keep intact, and every byte value can occur.
  std::string string() {
    std::string out;
    while (pos_ < size_) {
      const char c = data_[pos_++];
      if (c != '\\') {
        out += c;
      } else if (pos_ < size_ && data_[pos_] == '\\') {
        out += c;
        ++pos_;
      } else {
        if (pos_ < size_) ++pos_;
        break;
      }
    }
    return out;
  }

  /// One byte.
  uint8_t byte() { return pos_ < size_ ? static_cast<uint8_t>(data_[pos_++]) : 0; }

  /// Eight bytes as a signed number, little-endian.
  int64_t int64() {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= uint64_t{byte()} << (8 * i);
    return static_cast<int64_t>(v);
  }

  /// Everything not read yet.
  std::string rest() {
    std::string out(data_ + (pos_ < size_ ? pos_ : size_), data_ + size_);
    pos_ = size_;
    return out;
  }

private:
  const char* data_;
  size_t size_;
  size_t pos_ = 0;
};

} // namespace quorvel::fuzz
