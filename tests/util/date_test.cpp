// Tests of the date routines: second counts and the log time stamp.
#include "util/unDate.h"
#include "util/unDate_clock.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <climits>

namespace quorvel {
namespace {

TEST(Date, DateTimeToUnix) {
  EXPECT_EQ(DateTimeToUnix(UnixStartDate), 0);
  EXPECT_EQ(DateTimeToUnix(UnixStartDate + 1), 86400);
  EXPECT_EQ(DateTimeToUnix(UnixStartDate - 1), -86400);
  // Halves go to the even neighbour: 1/256 and 3/256 of a day are exact in
  // binary and are 337.5 and 1012.5 seconds.
  EXPECT_EQ(DateTimeToUnix(UnixStartDate + 1.0 / 256), 338);
  EXPECT_EQ(DateTimeToUnix(UnixStartDate + 3.0 / 256), 1012);
  EXPECT_EQ(DateTimeToUnix(UnixStartDate - 1.0 / 256), -338);
  EXPECT_EQ(DateTimeToUnix(UnixStartDate + 0.75 / 86400), 1);
  // 2004-03-05 14:07:09 is day 38051.
  EXPECT_EQ(DateTimeToUnix(38051 + (14 * 3600 + 7 * 60 + 9) / 86400.0), 1078495629);
  // Past 2038 only the low 32 bits remain.
  EXPECT_EQ(DateTimeToUnix(UnixStartDate + 2147483648.0 / 86400), INT32_MIN);
  EXPECT_EQ(DateTimeToUnix(UnixStartDate + 4294967296.0 / 86400), 0);
}

TEST(Date, DateTimeToUnixIgnoresRoundingMode) {
  std::fesetround(FE_UPWARD);
  const int32_t v = DateTimeToUnix(UnixStartDate + 0.25 / 86400);
  EXPECT_EQ(std::fegetround(), FE_UPWARD);
  std::fesetround(FE_TONEAREST);
  EXPECT_EQ(v, 0);
}

TEST(Date, MillisRoundToEvenSecond) {
  const std::pair<int64_t, int64_t> cases[] = {
      {0, 0},        {499, 0},       {500, 0},       {501, 1},  {1500, 2},
      {2500, 2},     {-500, 0},      {-1500, -2},    {-501, -1},
      {4102444800500LL, 4102444800LL}, {4102444801500LL, 4102444802LL}};
  for (const auto& [ms, s] : cases) EXPECT_EQ(detail::roundMillisToSeconds(ms), s) << ms;
}

TEST(Date, UnixNowIsLocalWallClock) {
  const detail::LocalClock c = detail::readLocalClock();
  const int64_t now = unixnow();
  // The broken-down time and the second count describe the same instant.
  const int64_t fromFields = (c.localMillis / 86400000) * 86400 + c.hour * 3600 + c.minute * 60 + c.second;
  EXPECT_LE(std::llabs(now - fromFields), 2);
  EXPECT_GT(now, 1600000000); // some time after 2020
}

TEST(Date, NowStrFormat) {
  const std::string s = nowstr();
  const std::string shape = "dddd-dd-dd dd:dd:dd";
  ASSERT_EQ(s.size(), shape.size()) << s;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (shape[i] == 'd') EXPECT_TRUE(s[i] >= '0' && s[i] <= '9') << s;
    else EXPECT_EQ(s[i], shape[i]) << s;
  }
}

} // namespace
} // namespace quorvel
