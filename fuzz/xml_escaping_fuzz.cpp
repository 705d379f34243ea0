// The XML escaping of error descriptions: the result holds no character that
// would end an attribute or start markup, every "&" starts one of the five
// entities, reading the entities back gives the text again, and the
// description of the errors file never spans lines.
#include <algorithm>
#include <optional>

#include "fuzz/fuzz_support.h"
#include "trace/xml_error_log.h"

using namespace corvane;
using namespace corvane::fuzzing;

namespace {

constexpr OleStringView kEntities[][2] = {{OLESTR("&amp;"), OLESTR("&")},
                                          {OLESTR("&quot;"), OLESTR("\"")},
                                          {OLESTR("&apos;"), OLESTR("'")},
                                          {OLESTR("&lt;"), OLESTR("<")},
                                          {OLESTR("&gt;"), OLESTR(">")}};

// What an XML reader makes of escaped text; nothing when it is not well formed.
std::optional<OleString> unescaped(OleStringView text) {
  OleString out;
  for (std::size_t i = 0; i < text.size();) {
    if (OleStringView(OLESTR("<>\"'")).find(text[i]) != OleStringView::npos) return std::nullopt;
    if (text[i] != u'&') {
      out += text[i++];
      continue;
    }
    const auto* entity =
        std::find_if(std::begin(kEntities), std::end(kEntities),
                     [&](const auto& e) { return text.substr(i, e[0].size()) == e[0]; });
    if (entity == std::end(kEntities)) return std::nullopt;
    out += (*entity)[1];
    i += (*entity)[0].size();
  }
  return out;
}

OleString tabs_for_line_breaks(OleString text) {
  for (std::size_t at = 0; (at = text.find(OLESTR("\r\n"), at)) != OleString::npos;)
    text.replace(at, 2, 1, u'\t');
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const OleString text =
      in.ConsumeBool() ? text_from(in, "&\"'<>\r\na;tqmp", 200) : any_text(in, 200);
  const OleString internal = modVBTrace::EncodeForInternalXML(text);
  FUZZ_CHECK(unescaped(internal) == text, printable(text) + " -> " + printable(internal));
  const OleString description = modVBTrace::EncodeForXML(text);
  FUZZ_CHECK(description.find(OLESTR("\r\n")) == OleString::npos, printable(text));
  FUZZ_CHECK(unescaped(description) == tabs_for_line_breaks(text),
             printable(text) + " -> " + printable(description));
  return 0;
}
