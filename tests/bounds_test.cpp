// Fixed buffers, at and past their size, and which program a command line
// starts when its program's path holds blanks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "automation/error.h"
#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/module_info.h"
#include "platform/processes.h"
#include "platform/profiles.h"
#include "platform/text_encoding.h"
#include "string_list/clsStringList.h"
#include "support/log_capture.h"
#include "trace/locations.h"
#include "trace/process_launching.h"
#include "trace/summary_log.h"

namespace corvane::modVBTrace {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr const char* kExe = ".exe";
#else
constexpr const char* kExe = "";
#endif

// A roaming folder and window titles of any length, whatever buffer the
// caller offers.
struct LongNames final : platform::Environment {
  OleString roaming;
  OleString title;
  std::optional<OleString> roaming_app_data_folder() override { return roaming; }
  std::intptr_t create_event(OleStringView, bool* existed) override {
    *existed = false;
    return 0;
  }
  void signal_event(std::intptr_t) override {}
  void close_event(std::intptr_t) override {}
  OleString window_text(std::intptr_t, int) override { return title; }
};

TEST(Buffers, FolderPathOf260Characters) {
  LongNames names;
  platform::Environment::Override use(names);
  names.roaming = OleString(259, u'r');
  EXPECT_EQ(sfnAppDataFolder(), names.roaming);
  // One more does not fit the buffer: no folder, never a part of the path.
  names.roaming = OleString(260, u'r');
  EXPECT_EQ(sfnAppDataFolder(), OLESTR(""));
  names.roaming = OleString(4000, u'r');
  EXPECT_EQ(sfnAppDataFolder(), OLESTR(""));
  EXPECT_EQ(sfnQuillonDataFolder(), OLESTR("\\Marrowind\\QuillonMTV10"));
}

TEST(Buffers, WindowTitleOf80Characters) {
  LongNames names;
  platform::Environment::Override use(names);
  for (std::size_t length : {78u, 79u}) {
    names.title = OleString(length, u't');
    EXPECT_EQ(sfnWindowText(1), names.title);
  }
  for (std::size_t length : {80u, 81u, 1000u}) {
    names.title = OleString(length, u't');
    EXPECT_EQ(sfnWindowText(1), OleString(79, u't')) << length;
  }
  names.title.clear();
  EXPECT_EQ(sfnWindowText(1), OLESTR("***NONE"));
}

TEST(Buffers, DateAndTimeOf25Characters) {
  const platform::LocalTime t{2026, 2, 0, 1, 9, 5, 3, 7};
  const std::string fits = "'" + std::string(24, 'x') + "'";
  const std::string too_long = "'" + std::string(25, 'x') + "'";
  EXPECT_EQ(platform::format_date(t, fits.c_str()), std::string(24, 'x'));
  EXPECT_EQ(platform::format_time(t, fits.c_str()), std::string(24, 'x'));
  EXPECT_EQ(platform::format_date(t, too_long.c_str()), "");
  EXPECT_EQ(platform::format_time(t, too_long.c_str()), "");
  // A picture whose numbers take it past the buffer.
  EXPECT_EQ(platform::format_date(t, "yyyy-MM-dd yyyy-MM-dd yyyy"), "");
  EXPECT_EQ(platform::format_date(t, "yyyy-MM-dd yyyy-MM-dd yy"), "2026-02-01 2026-02-01 26");
}

TEST(Buffers, IniReadsOf255And1024Characters) {
  testing::TraceHarness h;
  h.init();
  const OleString file = h.folder.file("Bounds.ini");
  platform::Profiles& profiles = platform::Profiles::system();
  struct Case {
    std::size_t buffer, length, read;
  };
  for (const Case& c : {Case{255, 254, 254}, Case{255, 255, 254}, Case{255, 1000, 254},
                        Case{1024, 1023, 1023}, Case{1024, 1024, 1023}, Case{1024, 3000, 1023}}) {
    ASSERT_TRUE(profiles.write(file, OLESTR("DebugInfo"), OLESTR("ErrorsToDiagnose"),
                               OleString(c.length, u'e')));
    EXPECT_EQ(
        profiles.read(file, OLESTR("DebugInfo"), OLESTR("ErrorsToDiagnose"), OLESTR(""), c.buffer),
        OleString(c.read, u'e'))
        << c.buffer << " " << c.length;
  }
  // The session statistics read through a 255-character buffer.
  WriteSessionStat(17, OleString(254, u'd'));
  EXPECT_EQ(sfnReadSessionStat(17), OleString(254, u'd'));
  WriteSessionStat(17, OleString(255, u'd'));
  EXPECT_EQ(sfnReadSessionStat(17), OleString(254, u'd'));
}

// A shared array's element count is checked against the address space
// before its last element's address is: in a 32-bit process the count
// 2^30 + 1 would put the last element back at the first one, which can be
// read. (A 64-bit address cannot wrap that way.)
TEST(Buffers, AnElementCountPastTheAddressSpace) {
  testing::TraceHarness h;
  h.init(2);
  BSTR cells[2] = {SysAllocString(OLESTR("a")), SysAllocString(OLESTR("b"))};
  SAFEARRAY header{};
  header.cDims = 1;
  header.fFeatures = FADF_BSTR;
  header.cbElements = sizeof(BSTR);
  header.pvData = cells;
  header.rgsabound[0].cElements = static_cast<ULONG>((1ull << 32) / sizeof(BSTR) + 1);
  SAFEARRAY* variable = &header;
  clsStringList list;
  if (sizeof(void*) == 4) {
    try {
      list.AssignStringList(reinterpret_cast<std::intptr_t>(&variable));
      ADD_FAILURE() << "a count past the address space was taken";
    } catch (const AutomationError& error) {
      EXPECT_EQ(error.number(), -1);
    }
  }
  header.rgsabound[0].cElements = 2;
  list.AssignStringList(reinterpret_cast<std::intptr_t>(&variable));
  EXPECT_EQ(list.lfnMatch(OLESTR("b")).get().lVal, 1);
  for (BSTR b : cells) SysFreeString(b);
}

fs::path test_child() {
  const OleString own = platform::ModuleInfo::system().own_file_path();
#ifdef _WIN32
  const fs::path self(std::wstring(own.begin(), own.end()));
#else
  const fs::path self(testing::narrow(own));
#endif
  return self.parent_path() / (std::string("corvane_test_child") + kExe);
}

// A folder "with space" and, beside it, the program "with" that a line
// naming a program inside the folder would start if it were split at the
// blank.
struct BlankInFolder {
  testing::TraceHarness h;
  fs::path folder = h.folder.path() / "with space";
  fs::path decoy = h.folder.path() / (std::string("with") + kExe);
  BlankInFolder() {
    h.init(2);
    fs::create_directories(folder);
    fs::copy_file(test_child(), decoy);
  }
  // The line for a program in the folder, unquoted, named as given.
  OleString line(const std::string& name, const std::string& arguments) const {
    return testing::ole_path(folder) + platform::from_ansi(
#ifdef _WIN32
                                           "\\" +
#else
                                           "/" +
#endif
                                           name + " " + arguments);
  }
  bool decoy_ran() const {
    return fs::exists(decoy.string() + ".ran");
  }
};

TEST(ProgramStarts, AMissingProgramNeverStartsTheShorterPath) {
  BlankInFolder setup;
  const OleString line = setup.line(std::string("child") + kExe, "0");
  EXPECT_EQ(platform::program_file_of(line), OLESTR(""));
  EXPECT_EQ(StartProcess(line, true), 0);
  EXPECT_FALSE(SyncShell(line, 10000, false, true));
  EXPECT_FALSE(setup.decoy_ran());
  // Named without its extension, as Windows lets a program be named.
  const OleString bare = setup.line("child", "0");
  EXPECT_EQ(platform::program_file_of(bare), OLESTR(""));
  EXPECT_FALSE(SyncShell(bare, 10000, false, true));
  EXPECT_FALSE(setup.decoy_ran());
}

TEST(ProgramStarts, TheProgramInTheFolderWithABlank) {
  BlankInFolder setup;
  const fs::path child = setup.folder / (std::string("child") + kExe);
  fs::copy_file(test_child(), child);
  const OleString line = setup.line(std::string("child") + kExe, "0 with arguments");
  EXPECT_EQ(platform::program_file_of(line), testing::ole_path(child));
  EXPECT_TRUE(SyncShell(line, 10000, false, true));
  EXPECT_TRUE(fs::exists(child.string() + ".ran"));
  EXPECT_FALSE(setup.decoy_ran());
#ifdef _WIN32
  // Named without ".exe": the system adds it, and so does the search.
  EXPECT_EQ(platform::program_file_of(setup.line("child", "0")), testing::ole_path(child));
#endif
  // Arguments that are paths, or switches, are the program's own.
  const OleString with_paths =
      testing::ole_path(child) + OLESTR(" /s ") + testing::ole_path(setup.folder) + OLESTR(" x");
  EXPECT_EQ(platform::program_file_of(with_paths), testing::ole_path(child));
}

TEST(ProgramStarts, OnlyABareNameIsLookedForOnTheSearchPath) {
  EXPECT_TRUE(platform::names_bare_program(OLESTR("notepad.exe file.txt")));
  EXPECT_TRUE(platform::names_bare_program(OLESTR("  \"my tool\" x")));
  EXPECT_FALSE(platform::names_bare_program(OLESTR("C:\\Tools\\app.exe")));
  EXPECT_FALSE(platform::names_bare_program(OLESTR("./app")));
  EXPECT_FALSE(platform::names_bare_program(OLESTR("C:app")));
  EXPECT_FALSE(platform::names_bare_program(OLESTR("\"C:\\My Tools\\app.exe\"")));
  EXPECT_FALSE(platform::names_bare_program(OLESTR("   ")));
}

}  // namespace
}  // namespace corvane::modVBTrace
