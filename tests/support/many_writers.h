// What the processes of the many-writers test write, shared by the writers
// (corvane_terminate_host) and the test that checks the files afterwards.
#pragma once

#include <string>

namespace corvane::testing::many_writers {

// The text of record `index` of `kind` ("trace", "summary", "error") from
// writer `writer`: who wrote it, then a body that depends on all three, long
// enough that a line torn apart or mixed with another cannot pass for a
// whole one.
inline std::string record_text(int writer, const std::string& kind, int index) {
  std::string text = "w" + std::to_string(writer) + " " + kind + " " + std::to_string(index) + " ";
  for (int i = 0; i < 96; ++i) text += static_cast<char>('A' + (writer * 7 + index * 13 + i) % 26);
  return text;
}

// The file the writers start on: they wait for it, so that they all write
// at the same time rather than one after the other as they were started.
inline constexpr const char* kStartSignal = "start.signal";

}  // namespace corvane::testing::many_writers
