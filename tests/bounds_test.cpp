// Fixed buffers, at and past their size: the roaming folder, window titles,
// profile reads and the session statistics.
#include <gtest/gtest.h>

#include "platform/profiles.h"
#include "support/log_capture.h"
#include "trace/locations.h"
#include "trace/process_launching.h"
#include "trace/summary_log.h"

namespace corvane::modVBTrace {
namespace {

TEST(Buffers, FolderPathOf260Characters) {
  testing::FakeEnvironment environment;
  platform::Environment::Override use(environment);
  // The longest that fits the buffer; one more gives no folder, never a part.
  for (const auto& [length, fits] : {std::pair{259u, true}, {260u, false}, {4000u, false}}) {
    environment.roaming = OleString(length, u'r');
    EXPECT_EQ(sfnAppDataFolder(), fits ? *environment.roaming : OleString()) << length;
  }
  EXPECT_EQ(sfnQuillonDataFolder(), OLESTR("\\Marrowind\\QuillonMTV10"));
}

TEST(Buffers, WindowTitleOf80Characters) {
  testing::FakeEnvironment environment;
  platform::Environment::Override use(environment);
  for (const auto& [length, shown] : {std::pair{79u, 79u}, {80u, 79u}, {1000u, 79u}, {1u, 1u}}) {
    environment.titles[1] = OleString(length, u't');
    EXPECT_EQ(sfnWindowText(1), OleString(shown, u't')) << length;
  }
  environment.titles[1].clear();
  EXPECT_EQ(sfnWindowText(1), OLESTR("***NONE"));
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
  for (std::size_t length : {254u, 255u}) {
    WriteSessionStat(17, OleString(length, u'd'));
    EXPECT_EQ(sfnReadSessionStat(17), OleString(254, u'd'));
  }
}

}  // namespace
}  // namespace corvane::modVBTrace
