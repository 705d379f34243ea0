// What the processes of the many-writers test write, shared by the writer
// program and the test that checks the files afterwards. Each kind of record
// is one entry of kRecordKinds: a new kind (another log file) is one more
// entry here, one more case in the writer's write_record, and its file in the
// test's check.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace corvane::testing::many_writers {

enum class RecordKind { kTrace, kSummary, kError, kCount };

struct RecordKindInfo {
  RecordKind kind;
  std::string_view name;  // on the writer's command line: name=count
};

inline constexpr std::array<RecordKindInfo, 4> kRecordKinds{{
    {RecordKind::kTrace, "trace"},
    {RecordKind::kSummary, "summary"},
    {RecordKind::kError, "error"},
    {RecordKind::kCount, "count"},
}};

// The source every record is logged under.
inline constexpr std::string_view kSource = "many.writers";

// The text of record `index` of `kind` from writer `writer`: who wrote it,
// then a body that depends on all three, long enough that a line torn apart
// or mixed with another cannot pass for a whole one.
inline std::string record_text(int writer, std::string_view kind, int index) {
  std::string text =
      "w" + std::to_string(writer) + " " + std::string(kind) + " " + std::to_string(index) + " ";
  for (int i = 0; i < 96; ++i) {
    text += static_cast<char>('A' + (writer * 7 + index * 13 + i) % 26);
  }
  return text;
}

// The file the writers start on: they wait for it, so that they all write
// at the same time rather than one after the other as they were started.
inline constexpr std::string_view kStartSignal = "start.signal";

}  // namespace corvane::testing::many_writers
