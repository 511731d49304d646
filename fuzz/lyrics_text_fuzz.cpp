// The lyrics clean-up helpers (StripTags, ReplaceBreakTag, NormalizeLineEnds and
// BreaksToLineEnds) against the literal procedures they replace: each one-pass helper must
// give exactly the text of the step-by-step one on every input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "search/artist_lookup.h"
#include "search/lyrics_extraction.h"
#include "support/lyrics_text_reference.h"

namespace {

// The literal procedures search from the start again after every change: quadratic, so the
// comparison stays on texts of lyrics size.
constexpr std::size_t kMaxBytes = 8 * 1024;

template <class Fast, class Literal>
void Compare(const char* name, const WString& input, Fast fast, Literal literal) {
  WString ours = input;
  WString theirs = input;
  fast(ours);
  literal(theirs);
  fuzz::Check(ours == theirs, std::string(name) + " differs from the literal procedure on \"" +
                                  fuzz::Printable(input) + "\": \"" + fuzz::Printable(ours) +
                                  "\" instead of \"" + fuzz::Printable(theirs) + "\"");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const WString text = fuzz::WideText(fuzz::Bytes(data, size, kMaxBytes));
  Compare("StripTags", text, search::StripTags, LiteralStripTags);
  for (const char16_t* tag : {u"<br>", u"<BR>", u"<br />", u"<br/>"}) {
    Compare(
        "ReplaceBreakTag", text, [tag](WString& t) { search::ReplaceBreakTag(t, tag); },
        [tag](WString& t) { LiteralReplaceBreakTag(t, tag); });
  }
  Compare("NormalizeLineEnds", text, search::NormalizeLineEnds, LiteralNormalizeLineEnds);
  Compare("BreaksToLineEnds", text, search::BreaksToLineEnds, LiteralBreaksToLineEnds);
  return 0;
}
