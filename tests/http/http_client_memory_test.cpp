// TkaHTTPClient when memory runs out while a body arrives: a failure left in errormessage, never an exception.
#include "http/unHTTPClient.h"
#include "wininet/wininet_script.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <ostream>

namespace {

// While armed, every allocation of this size or more fails as on a machine
// whose memory is exhausted.
std::atomic<std::size_t> failFrom{0};

void* allocate(std::size_t size) {
  const std::size_t limit = failFrom.load(std::memory_order_relaxed);
  if (limit != 0 && size >= limit) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace quorvel {
namespace {

using namespace wininet;

struct MemoryCase {
  const char* name;
  bool withLength;
};

void PrintTo(const MemoryCase& c, std::ostream* os) { *os << c.name; }

class OutOfMemoryTest : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(OutOfMemoryTest, WhileTheBodyGrowsIsAFailureNotAnException) {
  ScriptedInternet net;
  net.body = std::string(600000, 'b');
  net.responseHeaders = GetParam().withLength
                            ? "HTTP/1.1 200 OK\r\nContent-Length: 600000\r\n\r\n"
                            : "HTTP/1.1 200 OK\r\n\r\n";
  TkaHTTPClient client;
  client.popforcert = false;
  std::string got = "<not run>";
  bool raised = false;
  failFrom = 256 * 1024;
  try {
    got = client.getData("http://h/");
  } catch (...) {
    raised = true;
  }
  failFrom = 0;
  EXPECT_FALSE(raised);
  EXPECT_EQ(got, "");
  EXPECT_EQ(client.errormessage, "ERROR_NOT_ENOUGH_MEMORY");
  EXPECT_EQ(client.errorcode, static_cast<int32_t>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(client.infomessage, "Download error: 8 (ERROR_NOT_ENOUGH_MEMORY)");
  EXPECT_EQ(net.openHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Loops, OutOfMemoryTest,
                         ::testing::Values(MemoryCase{"knownLength", true}, MemoryCase{"openEnded", false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quorvel
