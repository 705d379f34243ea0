// The trace viewer's records: what the view shows under its filters and
// pause, and the saved form.
#include <gtest/gtest.h>

#include <sstream>

#include "support/log_capture.h"
#include "tools/viewer/record_list.h"

namespace corvane::viewer {
namespace {

std::vector<std::string> shown_texts(const RecordList& list) {
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < list.shown_count(); ++i) texts.push_back(list.shown(i).text);
  return texts;
}

RecordList list_of(const std::vector<std::pair<std::uint32_t, std::string>>& records) {
  RecordList list;
  for (const auto& [kind, text] : records) list.add({kind, "t", text});
  return list;
}

using Texts = std::vector<std::string>;

TEST(ViewerRecords, FiltersByKindAndText) {
  const struct {
    std::vector<std::uint32_t> hidden;
    std::string filter;
    Texts shown;
  } rows[] = {
      {{}, "", {"Alpha one", "beta TWO", "<e>alpha</e>", "gamma"}},
      {{kSummary}, "", {"Alpha one", "<e>alpha</e>", "gamma"}},
      {{kDetail, kErrors}, "", {"beta TWO"}},
      {{}, "ALPHA", {"Alpha one", "<e>alpha</e>"}},  // either case
      {{kErrors}, "alpha", {"Alpha one"}},
      {{}, "a t", {"beta TWO"}},
      {{}, "ga", {"gamma"}},
      {{}, "alphaa", {}},
      {{kDetail, kSummary, kErrors}, "", {}},
  };
  for (const auto& row : rows) {
    RecordList list =
        list_of({{kDetail, "Alpha one"}, {kSummary, "beta TWO"}, {kErrors, "<e>alpha</e>"}});
    for (const std::uint32_t kind : row.hidden) list.show_kind(kind, false);
    list.filter_text(row.filter);
    list.add({kDetail, "t", "gamma"});  // arrives after the filters were set
    EXPECT_EQ(shown_texts(list), row.shown) << row.filter;
    EXPECT_EQ(list.size(), 4u);
    for (const std::uint32_t kind : row.hidden) list.show_kind(kind, true);
    list.filter_text("");
    EXPECT_EQ(list.shown_count(), 4u) << row.filter;  // all back
  }
}

// One list through a session: each step, then what the view shows and how
// many records the list holds.
TEST(ViewerRecords, PauseHoldsTheViewClearEmptiesIt) {
  enum Step { kAdd, kPause, kResume, kFilter, kHideDetail, kShowDetail, kClear };
  const struct {
    Step step;
    std::string text;
    Texts shown;
    std::size_t size;
  } steps[] = {
      {kAdd, "a1", {"a1"}, 1},
      {kPause, "", {"a1"}, 1},
      {kAdd, "b2", {"a1"}, 2},  // held back
      {kFilter, "2", {}, 2},    // the filter applies to what the view had
      {kFilter, "", {"a1"}, 2},
      {kAdd, "c3", {"a1"}, 3},
      {kResume, "", {"a1", "b2", "c3"}, 3},
      {kHideDetail, "", {"b2"}, 3},
      {kPause, "", {"b2"}, 3},
      {kShowDetail, "", {"a1", "b2", "c3"}, 3},
      {kAdd, "d4", {"a1", "b2", "c3"}, 4},
      {kClear, "", {}, 0},
      {kAdd, "e5", {}, 1},  // still paused
      {kResume, "", {"e5"}, 1},
      {kClear, "", {}, 0},
      {kAdd, "f6", {"f6"}, 1},
  };
  RecordList list;
  int number = 0;
  for (const auto& row : steps) {
    switch (row.step) {
      case kAdd:
        list.add({row.text == "b2" ? kSummary : kDetail, "t", row.text});
        break;
      case kPause:
      case kResume:
        list.pause(row.step == kPause);
        break;
      case kFilter:
        list.filter_text(row.text);
        break;
      case kHideDetail:
      case kShowDetail:
        list.show_kind(kDetail, row.step == kShowDetail);
        break;
      case kClear:
        list.clear();
        break;
    }
    EXPECT_EQ(shown_texts(list), row.shown) << "step " << number;
    EXPECT_EQ(list.size(), row.size) << "step " << number;
    ++number;
  }
}

// The saved form, one line per record; a save while paused holds the
// records held back too, and leaves out what the filters leave out.
TEST(ViewerRecords, SavesOneLinePerRecordThatPassesTheFilters) {
  testing::FixedClock clock;
  clock.now = {2026, 12, 1, 7, 7, 5, 9, 42};
  const platform::Clock::Override use_clock(clock);
  RecordList list;
  list.add({kDetail, arrival_time_now(), "07-12-26 07:05:09.041\tCorvane\tsrc: hello"});
  list.pause(true);
  list.add({kSummary, "2026-12-07 17:10:01.234", "\r\nMSGBOX: a\\b"});
  list.add({kErrors, "2026-12-07 17:10:01.235", "<Error>\n  <x/>\r\n</Error>"});
  list.add({7, "2026-12-07 17:10:01.236", ""});
  list.add({9, "2026-12-07 17:10:01.237", "left out"});
  list.show_kind(9, false);
  std::ostringstream saved;
  list.save(saved);
  EXPECT_EQ(saved.str(),
            "detail\t2026-12-07 07:05:09.042\t07-12-26 07:05:09.041\tCorvane\tsrc: hello\n"
            "summary\t2026-12-07 17:10:01.234\t\\r\\nMSGBOX: a\\b\n"
            "errors\t2026-12-07 17:10:01.235\t<Error>\\n  <x/>\\r\\n</Error>\n"
            "7\t2026-12-07 17:10:01.236\t\n");
  EXPECT_EQ(list.shown_count(), 1u);  // still paused
}

}  // namespace
}  // namespace corvane::viewer
