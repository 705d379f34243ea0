// Platform services: the runtime's file table, the date test, the
// component's own name.
#include "automation/error.h"
#include "platform/dates.h"
#include "platform/file_numbers.h"
#include "platform/module_info.h"
#include "support/list_fixture.h"

namespace corvane::platform {
namespace {

using testing::raised;

TEST(FileNumbers, LowestFreeNumberTooManyFilesAndOpenFailures) {
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
  EXPECT_EQ(raised([] { print_bytes(2, "y"); }), 52);  // a closed number

  for (int n = 1; n <= 255; ++n) ASSERT_EQ(open_for_append(n, path), 0) << n;
  EXPECT_EQ(raised([] { FreeFile(); }), 67);
  close_all_files();
  EXPECT_EQ(FreeFile(), 1);
  EXPECT_EQ(open_for_append(1, folder.file("missing/x.log")), 76);
  EXPECT_EQ(open_for_append(1, OleString()), 52);
  EXPECT_EQ(FreeFile(), 1);
}

// The same answers from our rules and from the system's conversion (this
// runs against oleaut32 under wine).
TEST(Dates, DateTestOfText) {
  for (const OleString& row : testing::words(
           "12/04/2026 19:11:00=1|02/29/2024 00:00:00=1|1/2/2026=1|2026-12-04=1|12/04/2026=1|"
           "19:11=1|7:05:09 PM=1|Dec 4, 2026=1|4 December 2026 10:00 PM=1|  12/04/2026  =1|=0|"
           "   =0|abc=0|12/04/2026 25:11:00=0|12/04/2026 19:61:00=0|13/13/2026=0|12/04/2026 x=0|"
           "02/01/2026 09:05:03!=0",
           '|')) {
    EXPECT_EQ(is_date_text(row.substr(0, row.size() - 2)), row.back() == u'1') << to_utf8(row);
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
