// Platform services: the runtime's file table, date and time pictures, the
// numeric test, the component's own name.
#include <gtest/gtest.h>

#include "automation/error.h"
#include "platform/clock.h"
#include "platform/dates.h"
#include "platform/file_numbers.h"
#include "platform/module_info.h"
#include "platform/numbers.h"
#include "support/log_capture.h"

namespace corvane::platform {
namespace {

TEST(FileNumbers, LowestFreeNumberAndTooManyFiles) {
  testing::TempFolder folder;
  const OleString path = folder.file("numbers.log");
  ASSERT_EQ(FreeFile(), 1);
  ASSERT_EQ(open_for_append(1, path), 0);
  ASSERT_EQ(open_for_append(2, path), 0);
  EXPECT_EQ(FreeFile(), 3);
  EXPECT_EQ(open_for_append(2, path), 55);  // already open
  close_file(1);
  EXPECT_EQ(FreeFile(), 1);

  print_bytes(2, "x\r\n");
  close_file(2);
  EXPECT_EQ(testing::read_file(path), "x\r\n");
  try {
    print_bytes(2, "y");
    ADD_FAILURE() << "printed to a closed number";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 52);
  }

  for (int n = 1; n <= 255; ++n) ASSERT_EQ(open_for_append(n, path), 0) << n;
  try {
    FreeFile();
    ADD_FAILURE() << "a 256th file number";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 67);
  }
  close_all_files();
  EXPECT_EQ(FreeFile(), 1);
}

TEST(FileNumbers, OpenFailuresCarryTheRuntimeNumber) {
  testing::TempFolder folder;
  EXPECT_EQ(open_for_append(1, folder.file("missing/x.log")), 76);
  EXPECT_EQ(open_for_append(1, OleString()), 52);
  EXPECT_EQ(FreeFile(), 1);
}

TEST(Clock, DateAndTimePictures) {
  const LocalTime t{2026, 2, 0, 1, 9, 5, 3, 7};
  EXPECT_EQ(format_date(t, "MM-dd-yy"), "02-01-26");
  EXPECT_EQ(format_time(t, "HH:mm:ss"), "09:05:03");
  const LocalTime evening{2009, 11, 0, 30, 23, 59, 58, 0};
  EXPECT_EQ(format_date(evening, "MM-dd-yy"), "11-30-09");
  EXPECT_EQ(format_time(evening, "HH:mm:ss"), "23:59:58");
  EXPECT_EQ(format_time(evening, "hh:mm:ss"), "11:59:58");
}

TEST(Numbers, NumericTestOfText) {
  for (const OLECHAR* yes : {OLESTR("0"), OLESTR("12"), OLESTR(" 12 "), OLESTR("-3.5"),
                             OLESTR("+7"), OLESTR("1e5"), OLESTR("&H1F"), OLESTR("1,000")}) {
    EXPECT_TRUE(is_numeric_text(yes)) << testing::narrow(yes);
  }
  for (const OLECHAR* no : {OLESTR(""), OLESTR(" "), OLESTR("abc"), OLESTR("1a"), OLESTR("-"),
                            OLESTR(":"), OLESTR("1 2")}) {
    EXPECT_FALSE(is_numeric_text(no)) << testing::narrow(no);
  }
}

// The date test: the same answers from our rules and from the system's
// conversion (this runs against oleaut32 under wine).
TEST(Dates, DateTestOfText) {
  const std::pair<const OLECHAR*, bool> cases[] = {
      {OLESTR("12/04/2026 19:11:00"), true},
      {OLESTR("02/29/2024 00:00:00"), true},
      {OLESTR("1/2/2026"), true},
      {OLESTR("2026-12-04"), true},
      {OLESTR("12/04/2026"), true},
      {OLESTR("19:11"), true},
      {OLESTR("7:05:09 PM"), true},
      {OLESTR("Dec 4, 2026"), true},
      {OLESTR("4 December 2026 10:00 PM"), true},
      {OLESTR("  12/04/2026  "), true},
      {OLESTR(""), false},
      {OLESTR("   "), false},
      {OLESTR("abc"), false},
      {OLESTR("12/04/2026 25:11:00"), false},
      {OLESTR("12/04/2026 19:61:00"), false},
      {OLESTR("13/13/2026"), false},
      {OLESTR("12/04/2026 x"), false},
      {OLESTR("02/01/2026 09:05:03!"), false},
  };
  for (const auto& [text, date] : cases) {
    EXPECT_EQ(platform::is_date_text(text), date) << testing::narrow(text);
  }
}

TEST(ModuleInfo, OwnFileAndBaseName) {
  EXPECT_EQ(file_base_name(OLESTR("C:\\Program Files\\Suite\\Corvane.dll")), OLESTR("Corvane"));
  EXPECT_EQ(file_base_name(OLESTR("/usr/lib/x.y/libthing.so")), OLESTR("libthing"));
  EXPECT_EQ(file_base_name(OLESTR("noext")), OLESTR("noext"));
  EXPECT_EQ(file_base_name(ModuleInfo::current().own_file_path()), OLESTR("corvane_tests"));
}

}  // namespace
}  // namespace corvane::platform
