#include "platform/program_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace zentro::platform {
namespace {

TEST(ProgramInfo, LocalTimeStampHasFourteenDigitsOfAPlausibleDate) {
  std::string s = localTimeStamp();
  ASSERT_EQ(s.size(), 14u);
  EXPECT_TRUE(std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(c); }));
  int month = std::stoi(s.substr(4, 2));
  int hour = std::stoi(s.substr(8, 2));
  EXPECT_GE(std::stoi(s.substr(0, 4)), 2024);
  EXPECT_TRUE(month >= 1 && month <= 12);
  EXPECT_LE(hour, 23);
}

}  // namespace
}  // namespace zentro::platform
