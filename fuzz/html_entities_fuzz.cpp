// DecodeHtmlEntities over scraped text, and both of its one-scan passes against the literal
// procedure they replace: on every input they must give exactly the same text.
#include <cstddef>
#include <cstdint>
#include <set>

#include "fuzz_support.h"
#include "text/html_entities.h"
#include "support/html_entities_reference.h"

namespace {

// The literal decimal pass searches from the start again after every replacement; beyond
// this size it makes the run slow without reaching anything new.
constexpr std::size_t kMaxCompared = 4096;

void CompareWithLiteral(const WString& input, const WString& whole) {
  WString named = input;
  WString literal = input;
  text::DecodeNamedReferences(named);
  html_entities_reference::NamedPass(literal);
  fuzz::Check(named == literal, "named pass differs from the literal one on \"" +
                                    fuzz::Printable(input) + "\": \"" + fuzz::Printable(named) +
                                    "\" instead of \"" + fuzz::Printable(literal) + "\"");

  WString decimal = named;
  std::set<WString> bad;
  text::DecodeDecimalReferences(decimal);
  html_entities_reference::DecimalPass(literal, bad);
  fuzz::Check(decimal == literal, "decimal pass differs from the literal one on \"" +
                                      fuzz::Printable(named) + "\": \"" +
                                      fuzz::Printable(decimal) + "\" instead of \"" +
                                      fuzz::Printable(literal) + "\"");
  fuzz::Check(whole == decimal, "DecodeHtmlEntities differs from its two passes in turn");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const WString input = fuzz::WideText(fuzz::Bytes(data, size));
  WString whole = input;
  text::DecodeHtmlEntities(whole);
  fuzz::Check(whole.size() <= input.size(), "decoding made the text longer");
  if (input.size() <= kMaxCompared) CompareWithLiteral(input, whole);
  return 0;
}
