// A check for the platform programs run under Wine: reports where it failed
// and counts the failure; main returns the count.
#pragma once

#include <cstdio>

namespace quorvel::wintest {

inline int& failures() {
  static int count = 0;
  return count;
}

inline bool check(bool ok, const char* what, const char* file, int line) {
  if (!ok) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    ++failures();
  }
  return ok;
}

} // namespace quorvel::wintest

#define CHECK(cond) ::quorvel::wintest::check(bool(cond), #cond, __FILE__, __LINE__)
