// The INI reader and writer of systems without private-profile functions, on
// any file already there: a read never gives more than the buffer holds, and a
// value written reads back as written.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "fuzz/fuzz_support.h"
#include "platform/profiles.h"

using namespace corvane;
using namespace corvane::fuzzing;

namespace {

void write_disk(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path folder = [] {
    auto p = std::filesystem::temp_directory_path() /
             ("corvane-profiles-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(p);
    return p;
  }();
  FuzzedDataProvider in(data, size);
  platform::Profiles& profiles = platform::Profiles::system();

  const OleString section = text_from(in, "sSt", 4);
  const OleString key = text_from(in, "kKy", 4);
  const std::size_t buffer = in.ConsumeIntegralInRange<std::size_t>(0, 300);
  const std::filesystem::path ini = folder / "fuzz.ini";
  const OleString ini_text = from_utf8(ini.string());
  write_disk(ini, in.ConsumeRandomLengthString(4000));

  const OleString read = profiles.read(ini_text, section, key, OLESTR("-"), buffer);
  FUZZ_CHECK(read.size() + 1 <= std::max<std::size_t>(buffer, 1), "read past the buffer");

  // Names that are whole (not empty, no blanks at their ends, nothing the
  // file's syntax uses) and a value without line breaks or blanks at its
  // ends: written, it is what the next read gives, cut at 254 characters.
  if (section.empty() || key.empty()) return 0;
  const OleString value = text_from(in, "v1 =[];", 300);
  if (!value.empty() && (value.front() == u' ' || value.back() == u' ')) return 0;
  FUZZ_CHECK(profiles.write(ini_text, section, key, value), "write failed");
  const OleString back = profiles.read(ini_text, section, key, OLESTR("-"), 255);
  FUZZ_CHECK(back == value.substr(0, 254), printable(value) + " read back as " + printable(back));
  return 0;
}
