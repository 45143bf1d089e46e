// CHECK macros for the plain test programs of the Windows build (no test framework there).
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <type_traits>

namespace quorvel::wintest {

/// Failures counted so far in this program.
inline int& failureCount() {
  static int count = 0;
  return count;
}

/// Reports one failed check and counts it.
inline void reportFailure(const char* file, int line, const std::string& what) {
  ++failureCount();
  std::fprintf(stderr, "%s:%d: FAILED: %s\n", file, line, what.c_str());
  std::fflush(stderr);
}

/// A value as the failure message shows it.
template <typename V> std::string showValue(const V& v) {
  std::ostringstream out;
  if constexpr (std::is_same_v<V, std::wstring>) {
    // Wide texts shown as ASCII, anything else as '?'.
    for (wchar_t c : v)
      out << (c >= 0x20 && c < 0x7F ? char(c) : '?');
  } else if constexpr (requires { out << v; })
    out << v;
  else
    out << "(value)";
  return out.str();
}

/// The exit status of a test program: 0 when every check passed.
inline int testResult() {
  if (failureCount() == 0) {
    std::printf("all checks passed\n");
    return 0;
  }
  std::fprintf(stderr, "%d check(s) failed\n", failureCount());
  return 1;
}

} // namespace quorvel::wintest

/// Counts and reports a failure when \p cond is false; evaluates to \p cond.
#define CHECK(cond) ((cond) ? true : (::quorvel::wintest::reportFailure(__FILE__, __LINE__, #cond), false))

/// Counts and reports a failure, with both values, when \p a != \p b.
#define CHECK_EQ(a, b)                                                                                       \
  [&](const auto& va_, const auto& vb_) {                                                                    \
    if (va_ == vb_)                                                                                          \
      return true;                                                                                           \
    ::quorvel::wintest::reportFailure(__FILE__, __LINE__,                                                    \
                                      std::string(#a " == " #b " (") + ::quorvel::wintest::showValue(va_) +  \
                                          " vs " + ::quorvel::wintest::showValue(vb_) + ")");                \
    return false;                                                                                            \
  }((a), (b))

/// A COM result that must succeed; shows the code when it does not.
#define CHECK_HR(expr)                                                                                       \
  [&](long hr_) {                                                                                            \
    if (hr_ >= 0)                                                                                            \
      return true;                                                                                           \
    char buf_[16];                                                                                           \
    std::snprintf(buf_, sizeof buf_, "0x%08lX", static_cast<unsigned long>(hr_));                            \
    ::quorvel::wintest::reportFailure(__FILE__, __LINE__, std::string(#expr " -> ") + buf_);                 \
    return false;                                                                                            \
  }(static_cast<long>(expr))
