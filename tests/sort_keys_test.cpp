// The system's sort keys against its comparison: keys may stand in for the
// comparison only if, for every pair of texts, comparing the keys byte by
// byte gives the sign the comparison gives. Checked on a generated corpus of
// texts in the blocks the lookups index (U+0000 to U+024F) that is built for
// near-ties (case, accents, the letters that expand, digits, blanks,
// punctuation, the odd control or formatting character), every pair of it,
// and on the collation word list. CORVANE_SORT_KEY_PAIRS sets the number of
// pairs (1,000,000 by default; the soak run asks for more).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/collation.h"
#include "support/list_fixture.h"

namespace corvane::platform {
namespace {

// Pieces texts are made of, grouped so that a variant can swap one piece for
// another of the same group: each group holds forms that compare close.
const std::vector<std::vector<std::u16string>> kGroups = {
    {u"a", u"A", u"\u00e1", u"\u00e0", u"\u00e2", u"\u00e4", u"\u00c4", u"\u00e3", u"\u00e5",
     u"\u0101", u"\u0103", u"\u0105"},
    {u"e", u"E", u"\u00e9", u"\u00c9", u"\u00e8", u"\u00ea", u"\u00eb", u"\u0113", u"\u0119",
     u"\u011b"},
    {u"o", u"O", u"\u00f3", u"\u00f2", u"\u00f4", u"\u00f6", u"\u00d6", u"\u00f5", u"\u00f8",
     u"\u0151"},
    {u"c", u"C", u"\u00e7", u"\u0107", u"\u010d"},
    {u"n", u"N", u"\u00f1", u"\u0144", u"\u0148"},
    {u"s", u"S", u"\u015b", u"\u0161", u"\u015f"},
    {u"ss", u"\u00df", u"sS", u"SS", u"st"},
    {u"ae", u"\u00e6", u"\u00c6", u"AE", u"af"},
    {u"oe", u"\u0153", u"\u0152", u"OE", u"of"},
    {u"i", u"I", u"\u00ed", u"\u00ef", u"\u0131", u"\u0130", u"l", u"\u0142"},
    {u"0", u"1", u"2", u"9", u"10", u"00", u"\u00b2", u"\u00bd"},
    {u" ", u"\u00a0", u"  ", u"\t", u""},
    {u"'", u"-", u"--", u"\u00ad", u"_", u".", u",", u"/", u"(", u")"},
    {u"!", u"#", u"&", u"@", u"\u00a3", u"\u00a7", u"\u00ab", u"\u00bf", u"\u00d7", u"~"},
};

// A piece of a random group, or now and then any character of the blocks.
std::u16string piece(std::mt19937& random, std::size_t* group) {
  *group = random() % (kGroups.size() + 1);
  if (*group == kGroups.size()) return std::u16string(1, static_cast<char16_t>(random() % 0x250));
  const auto& forms = kGroups[*group];
  return forms[random() % forms.size()];
}

// `count` texts: base texts of one to five pieces, each followed by variants
// that swap one or two pieces for others of the same group.
std::vector<OleString> corpus(std::size_t count, std::mt19937& random) {
  std::vector<OleString> texts;
  while (texts.size() < count) {
    std::vector<std::pair<std::size_t, std::u16string>> pieces(1 + random() % 5);
    for (auto& [group, text] : pieces) text = piece(random, &group);
    for (int variant = 0; variant < 16 && texts.size() < count; ++variant) {
      std::u16string text;
      const std::size_t swap_at = random() % pieces.size(), also = random() % pieces.size();
      for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::size_t group = pieces[i].first;
        if (variant > 0 && (i == swap_at || (variant % 3 == 0 && i == also)) &&
            group < kGroups.size()) {
          text += kGroups[group][random() % kGroups[group].size()];
        } else {
          text += pieces[i].second;
        }
      }
      texts.emplace_back(text.begin(), text.end());
    }
  }
  return texts;
}

std::string code_points(const OleString& text) {
  std::string out;
  char unit[8];
  for (const OLECHAR c : text) {
    std::snprintf(unit, sizeof unit, "%04X ", static_cast<unsigned>(c));
    out += unit;
  }
  return "[" + out + "]";
}

// Every pair of `texts`: the sign of the key comparison against the
// comparison's. Returns the pairs compared; records the first disagreements.
std::size_t compare_every_pair(const std::vector<OleString>& texts,
                               std::vector<std::string>* disagreements) {
  std::vector<unsigned char> keys;
  std::vector<std::size_t> starts;
  for (const OleString& text : texts) {
    starts.push_back(keys.size());
    EXPECT_TRUE(append_sort_key(text, keys)) << code_points(text);
  }
  std::size_t pairs = 0;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    for (std::size_t j = i + 1; j < texts.size(); ++j, ++pairs) {
      const int by_key = std::strcmp(reinterpret_cast<const char*>(keys.data() + starts[i]),
                                     reinterpret_cast<const char*>(keys.data() + starts[j]));
      const int key_sign = (by_key > 0) - (by_key < 0);
      const int text_sign = compare_strings(texts[i], texts[j]) - 2;
      if (key_sign != text_sign && disagreements->size() < 10) {
        disagreements->push_back(code_points(texts[i]) + " / " + code_points(texts[j]) + ": keys " +
                                 std::to_string(key_sign) + ", comparison " +
                                 std::to_string(text_sign));
      }
    }
  }
  return pairs;
}

TEST(SortKeys, OrderEveryPairAsTheComparisonDoes) {
  const char* asked = std::getenv("CORVANE_SORT_KEY_PAIRS");
  const double pairs = asked != nullptr ? std::atof(asked) : 1e6;
  std::mt19937 random(20261207);
  // n texts give n (n - 1) / 2 pairs.
  const auto count = static_cast<std::size_t>(std::ceil((1 + std::sqrt(1 + 8 * pairs)) / 2));
  std::vector<OleString> texts = corpus(count, random);
  // The lookups compare lowercased texts: those are checked as well.
  for (std::size_t i = 0; i < count; i += 2) texts.push_back(lowercase(texts[i]));
  std::vector<std::string> disagreements;
  EXPECT_GE(compare_every_pair(texts, &disagreements), pairs);
  compare_every_pair(testing::words(testing::kSortedWords, '\n'), &disagreements);
  for (const std::string& line : disagreements) ADD_FAILURE() << line;
}

}  // namespace
}  // namespace corvane::platform
