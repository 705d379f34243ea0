// Fixed buffers, at and past their size: the roaming folder, window titles,
// profile reads and the session statistics.
#include "platform/profiles.h"
#include "support/list_fixture.h"
#include "trace/locations.h"
#include "trace/process_launching.h"
#include "trace/summary_log.h"

namespace corvane::modVBTrace {
namespace {

TEST(Buffers, FolderPathOf260AndWindowTitleOf80Characters) {
  testing::FakeEnvironment environment;
  platform::Environment::Override use(environment);
  // The longest that fits the buffer; one more gives no folder, never a part.
  for (const auto& [length, fits] : {std::pair{259u, true}, {260u, false}, {4000u, false}}) {
    environment.roaming = OleString(length, u'r');
    EXPECT_EQ(sfnAppDataFolder(), fits ? *environment.roaming : OleString()) << length;
  }
  // A window title of 80 characters or more is cut to 79.
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
  // Each case: the buffer, the length written, the length read back.
  for (const auto& [buffer, length, read] : {std::tuple{255u, 254u, 254u},
                                             {255u, 255u, 254u},
                                             {255u, 1000u, 254u},
                                             {1024u, 1023u, 1023u},
                                             {1024u, 1024u, 1023u},
                                             {1024u, 3000u, 1023u}}) {
    ASSERT_TRUE(profiles.write(file, OLESTR("DebugInfo"), OLESTR("ErrorsToDiagnose"),
                               OleString(length, u'e')));
    EXPECT_EQ(
        profiles.read(file, OLESTR("DebugInfo"), OLESTR("ErrorsToDiagnose"), OLESTR(""), buffer),
        OleString(read, u'e'))
        << buffer << " " << length;
  }
  // The session statistics read through a 255-character buffer.
  for (std::size_t length : {254u, 255u}) {
    WriteSessionStat(17, OleString(length, u'd'));
    EXPECT_EQ(sfnReadSessionStat(17), OleString(254, u'd'));
  }
}

}  // namespace
}  // namespace corvane::modVBTrace
