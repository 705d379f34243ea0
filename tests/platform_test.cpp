// Platform services: the runtime's file table, lookups of files by their
// attributes, the date test, the component's own name.
#include <filesystem>
#include <fstream>

#include "automation/error.h"
#include "platform/dates.h"
#include "platform/file_numbers.h"
#include "platform/files.h"
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

// A lookup finds an entry when each of its hidden, system and folder
// attributes is one it accepts: N a listing of normal files, H one that also
// takes hidden files, F one that also takes folders, A a file search.
TEST(Files, LookupsFindWhatTheirAttributesAccept) {
  testing::TempFolder folder;
  struct Row {
    const char* name;
    bool is_folder;
    unsigned attributes;  // set with the system's call on Windows
    const char* found_by;
  };
  const Row rows[] = {{"plain", false, 0, "NHFA"},
                      {"folder", true, 0, "FA"},
#ifdef _WIN32
                      {"read-only", false, FILE_ATTRIBUTE_READONLY, "NHFA"},
                      {"hidden", false, kHidden, "HA"},
                      {"system", false, kSystem, "A"},
                      {"hidden and system", false, kHidden | kSystem, "A"},
                      {"hidden folder", true, kHidden, "A"},
#endif
                      {"missing", false, 0, ""}};
  for (const Row& row : rows) {
    const OleString path = folder.file(row.name);
    if (row.is_folder) {
      std::filesystem::create_directory(folder.path() / row.name);
    } else if (row.name != std::string("missing")) {
      std::ofstream(folder.path() / row.name) << "x";
    }
#ifdef _WIN32
    if (row.attributes != 0) {
      ASSERT_TRUE(SetFileAttributesW(path.c_str(), row.attributes));
    }
#endif
    std::string found_by;
    for (const auto& [letter, accepted] :
         {std::pair{'N', +kNormalFile}, {'H', +kHidden}, {'F', +kFolder}, {'A', +kAnyEntry}})
      if (Files::system().exists(path, accepted)) found_by += letter;
    EXPECT_EQ(found_by, row.found_by) << row.name;
    Files::system().clear_attributes(path);
  }
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
