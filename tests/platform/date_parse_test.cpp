// Dates, one contract for both systems' parsers (Linux its own, Windows OLE Automation with
// the user's locale), then the Linux parser's own tables.
#include "platform/date_parse.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/test_system.h"

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

// The Linux parser is stricter than the OLE Automation parser the Windows build uses, so it has
// tables of its own.
TEST(ParseDatePosix, GivesTheWrittenWallClockOrNothing) {
  if (zentro::testing::kWindows) GTEST_SKIP() << "Windows parses with the user's locale";
  const struct {
    const char* text;
    int year, month, day, hour, minute;
    double second;
  } valid[] = {
      {"2024-01-15", 2024, 1, 15, 0, 0, 0}, {"2024-01-15T08:30", 2024, 1, 15, 8, 30, 0},
      {"2024-01-15 08:30:45", 2024, 1, 15, 8, 30, 45},
      {"2024-01-15T23:59:59.5", 2024, 1, 15, 23, 59, 59.5},
      {"2024-01-15T10:00:00,25", 2024, 1, 15, 10, 0, 0.25},
      // Zones are checked but the wall clock stays as written.
      {"2024-01-15T10:00:00Z", 2024, 1, 15, 10, 0, 0},
      {"2024-01-15T10:00:00+02:00", 2024, 1, 15, 10, 0, 0},
      {"2024-01-15T10:00:00-0530", 2024, 1, 15, 10, 0, 0},
      {"2024-01-15T10:00-05", 2024, 1, 15, 10, 0, 0},
      {"  2024-01-15T10:00:00  ", 2024, 1, 15, 10, 0, 0}, {"2000-02-29", 2000, 2, 29, 0, 0, 0},
      {"2024-02-29T12:00:00", 2024, 2, 29, 12, 0, 0}, {"1/5/2024", 2024, 1, 5, 0, 0, 0},
      {"12/31/2023", 2023, 12, 31, 0, 0, 0}, {"1/15/2024 3:45:12 PM", 2024, 1, 15, 15, 45, 12},
      {"1/15/2024 3:45 pm", 2024, 1, 15, 15, 45, 0},
      {"1/15/2024 12:00:00 AM", 2024, 1, 15, 0, 0, 0},
      {"1/15/2024 12:30:00 PM", 2024, 1, 15, 12, 30, 0},
      {"01/15/2024 11:59:59AM", 2024, 1, 15, 11, 59, 59},
      {"1/15/2024 17:05:09", 2024, 1, 15, 17, 5, 9}, {"1/15/2024 0:00", 2024, 1, 15, 0, 0, 0},
      {"\t2/29/2024 1:02:03 AM ", 2024, 2, 29, 1, 2, 3},
  };
  for (const auto& c : valid) {
    auto parsed = parseDate(c.text);
    ASSERT_TRUE(parsed.has_value()) << c.text;
    EXPECT_NEAR(parsed->days,
                dateFromParts(c.year, c.month, c.day, c.hour, c.minute, c.second)->days, 1e-9)
        << c.text;
  }
  for (const char* text : {
           "", "   ", "not a date", "2024", "2024-01", "2024-1-15", "24-01-15", "2024-01-15T",
           "2024-01-15T8:30", "2024-01-15T08", "2024-01-15T08:30:", "2024-01-15T08:30:00.",
           "2024-01-15X08:30", "2024-01-15T08:30:00+", "2024-01-15T08:30:00+2", "2024-01-15T08:30:00+25:00",
           "2024-01-15T08:30:00+02:60", "2024-01-15T08:30:00 garbage", "2024-13-01", "2024-00-10",
           "2024-01-00", "2024-01-32", "2023-02-29", "1900-02-29", "2024-04-31", "2024-01-15T24:00",
           "2024-01-15T12:60", "2024-01-15T12:00:60", "13/1/2024", "0/1/2024", "2/30/2024",
           "1/15/24", "1/15/20245", "1/15/2024 13:00 PM", "1/15/2024 0:30 AM", "1/15/2024 24:00",
           "1/15/2024 3:5", "1/15/2024 3:45 XM", "1/15/2024 3:45 PMX", "1/15/2024T3:45",
           "1/15/2024 3:45:00.5", "1-15-2024", "15.01.2024", "2024/01/15", "1/15/2024,",
           "2001-02-29", "0099-01-01"}) {
    EXPECT_FALSE(parseDate(text).has_value()) << text;
  }
}

}  // namespace
}  // namespace zentro::platform
