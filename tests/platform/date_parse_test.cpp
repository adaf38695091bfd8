// Dates, one contract for both systems' parsers (Linux its own, Windows OLE Automation with
// the user's locale); date_parse_posix_test.cpp holds the Linux parser's own tables.
#include "platform/date_parse.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zentro::platform {
namespace {

// Day counts (since 1899-12-30; the fraction is the time of day) and ISO texts, by number.
TEST(ParseDate, LiteralDaysAndOrder) {
  EXPECT_EQ(dateFromParts(1899, 12, 30, 0, 0, 0)->days, 0.0);
  EXPECT_EQ(dateFromParts(1899, 12, 29, 6, 0, 0)->days, -1.25);
  EXPECT_EQ(formatIsoDate(DateValue{-1.25}), "1899-12-29T06:00:00");
  EXPECT_EQ(formatIsoDate(*dateFromParts(2001, 2, 3, 4, 5, 6.125)), "2001-02-03T04:05:06.125");
  EXPECT_EQ(formatIsoDate(*dateFromParts(2001, 2, 3, 23, 59, 59.9999)), "2001-02-04T00:00:00");
  EXPECT_EQ(formatIsoDate(*dateFromParts(9999, 12, 31, 23, 59, 59)), "9999-12-31T23:59:59");
  EXPECT_EQ(formatIsoDate(*dateFromParts(100, 1, 1, 0, 0, 0)), "0100-01-01T00:00:00");
  EXPECT_EQ(formatIsoDate(DateValue{std::nan("")}), "");
  EXPECT_DOUBLE_EQ(parseDate("2024-01-15")->days, 45306.0);
  EXPECT_DOUBLE_EQ(parseDate(" 2024-01-15T18:00:00 ")->days, 45306.75);
  EXPECT_DOUBLE_EQ(parseDate("1/15/2024 6:00:00 PM")->days, 45306.75);
  EXPECT_DOUBLE_EQ(parseDate("2000-02-29T12:00")->days, 36585.5);
  EXPECT_DOUBLE_EQ(parseDate("12/31/2023 23:59:59")->days, 45291.0 + 86399 / 86400.0);

  // Both forms of the same instant compare equal; later texts compare greater.
  EXPECT_EQ(parseDate("2024-01-15T15:45:12")->days, parseDate("1/15/2024 3:45:12 PM")->days);
  EXPECT_LT(parseDate("1/15/2024 11:59:59 PM")->days, parseDate("2024-01-16")->days);
  EXPECT_LT(parseDate("12/31/2023 23:59:59")->days, parseDate("1/1/2024 12:00:00 AM")->days);
  // The zone is not applied: 10:00+02:00 (08:00 UTC) compares by its wall clock, after 09:00Z.
  EXPECT_GT(parseDate("2024-01-15T10:00:00+02:00")->days, parseDate("2024-01-15T09:00:00Z")->days);
  for (const char* text : {"", "   ", "not a date", "2024-13-40", "13/45/2024"}) {
    EXPECT_FALSE(parseDate(text).has_value()) << text;
  }
}

}  // namespace
}  // namespace zentro::platform
