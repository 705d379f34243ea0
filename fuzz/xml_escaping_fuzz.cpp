// The XML escaping of error descriptions: the result holds no character that
// would end an attribute or start markup, every "&" starts one of the five
// entities, reading the entities back gives the text again, and the
// description of the errors file never spans lines.
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
    const OLECHAR c = text[i];
    if (c == u'<' || c == u'>' || c == u'"' || c == u'\'') return std::nullopt;
    if (c != u'&') {
      out += c;
      ++i;
      continue;
    }
    bool known = false;
    for (const auto& [entity, character] : kEntities) {
      if (text.substr(i, entity.size()) == entity) {
        out += character;
        i += entity.size();
        known = true;
        break;
      }
    }
    if (!known) return std::nullopt;
  }
  return out;
}

OleString tabs_for_line_breaks(OleStringView text) {
  OleString out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      out += u'\t';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
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
