#include "string_list/sort_keys.h"

#include <algorithm>

#include "platform/collation.h"

namespace corvane {

namespace {

// Words whose order turns on what sort keys and the comparison could treat
// differently: punctuation and symbols (compared, not ignored), blanks,
// digits, accents, case and the letters that expand.
constexpr const OLECHAR* kCheckWords[] = {
    OLESTR(""),          OLESTR("'a"),          OLESTR("-"),
    OLESTR("-a"),        OLESTR(" "),           OLESTR("\u00a0"),
    OLESTR("!"),         OLESTR("&"),           OLESTR("("),
    OLESTR("_"),         OLESTR("\u00a3"),      OLESTR("+"),
    OLESTR("0"),         OLESTR("00"),          OLESTR("1"),
    OLESTR("10"),        OLESTR("a"),           OLESTR("A"),
    OLESTR("\u00e4"),    OLESTR("a-b"),         OLESTR("a b"),
    OLESTR("a.b"),       OLESTR("a1"),          OLESTR("ab"),
    OLESTR("ae"),        OLESTR("\u00e6"),      OLESTR("af"),
    OLESTR("co-op"),     OLESTR("coop"),        OLESTR("cote"),
    OLESTR("cot\u00e9"), OLESTR("c\u00f4te"),   OLESTR("item (1)"),
    OLESTR("item 1"),    OLESTR("item-1"),      OLESTR("o'brien"),
    OLESTR("\u00f8l"),   OLESTR("ss"),          OLESTR("\u00df"),
    OLESTR("st"),        OLESTR("stra\u00dfe"), OLESTR("strasse"),
    OLESTR("x-ray"),     OLESTR("xray"),        OLESTR("\u00ad"),
    OLESTR("a\u00adb"),  OLESTR("\u0142"),      OLESTR("z")};

bool keys_agree_with_the_comparison() {
  std::vector<unsigned char> keys;
  std::vector<std::size_t> starts;
  for (const OLECHAR* word : kCheckWords) {
    starts.push_back(keys.size());
    if (!append_usable_sort_key(word, keys)) return false;
  }
  const std::size_t count = starts.size();
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t j = 0; j < count; ++j) {
      const int by_text = platform::compare_strings(kCheckWords[i], kCheckWords[j]) - 2;
      if (by_text != compare_sort_keys(keys.data() + starts[i], keys.data() + starts[j])) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool sort_keys_trusted() {
  static const bool trusted = keys_agree_with_the_comparison();
  return trusted;
}

bool append_usable_sort_key(OleStringView text, std::vector<unsigned char>& keys) {
  const std::size_t start = keys.size();
  if (!platform::append_sort_key(text, keys)) return false;
  if (keys.size() == start || std::find(keys.begin() + static_cast<std::ptrdiff_t>(start),
                                        keys.end() - 1, 0) != keys.end() - 1) {
    keys.resize(start);
    return false;
  }
  return true;
}

}  // namespace corvane
