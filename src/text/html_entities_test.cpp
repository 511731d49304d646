#include "text/html_entities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/trace_capture.h"
#include "support/html_entities_reference.h"

namespace text {
namespace {

using testing_support::TraceCapture;

WString Wide(const char* ascii) { return WString(ascii, ascii + std::char_traits<char>::length(ascii)); }

WString Decoded(WString text) {
  DecodeHtmlEntities(text);
  return text;
}

// ---- the table ------------------------------------------------------------------------------

TEST(HtmlEntityTable, OrderAndSpecialEntries) {
  std::size_t count = 0;
  while (HtmlEntityTable[count].name != nullptr) ++count;
  ASSERT_EQ(kHtmlEntityCount, count);
  const std::pair<const char*, int> first[] = {
      {"&nbsp;", 32}, {"&quot;", 34}, {"&apos;", 39}, {"&lt;", 60}, {"&gt;", 62}};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_STREQ(first[i].first, HtmlEntityTable[i].name);
    EXPECT_EQ(first[i].second, HtmlEntityTable[i].code);
  }
  EXPECT_STREQ("&iexcl;", HtmlEntityTable[5].name);
  EXPECT_STREQ("&diams;", HtmlEntityTable[251].name);
  for (std::size_t i = 6; i < 252; ++i) {
    EXPECT_LT(HtmlEntityTable[i - 1].code, HtmlEntityTable[i].code) << HtmlEntityTable[i].name;
  }
  EXPECT_STREQ("&amp;", HtmlEntityTable[252].name);
  EXPECT_EQ(38, HtmlEntityTable[252].code);
}

// Python's html.entities.name2codepoint holds exactly the 252 entities of HTML 4.01.
TEST(HtmlEntityTable, AgreesWithPythonsHtml401List) {
#ifdef _WIN32
  GTEST_SKIP() << "python3 is a Linux program: a Windows program gets none of its output";
#endif
  testing_support::TempDir dir;
  const std::string listPath = dir.File("entities.txt");
  const std::string command =
      "python3 -c \"from html.entities import name2codepoint as m\n"
      "for k, v in m.items(): print('&' + k + ';', v)\" > '" + listPath + "'";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "python3 is not available";
  std::map<std::string, int> python;
  std::ifstream list(listPath);
  std::string name;
  int code = 0;
  while (list >> name >> code) python[name] = code;
  ASSERT_EQ(252u, python.size());

  python["&nbsp;"] = 32;   // a plain space here
  python["&apos;"] = 39;   // added
  std::map<std::string, int> ours;
  for (const HtmlEntity* e = HtmlEntityTable; e->name != nullptr; ++e) ours[e->name] = e->code;
  EXPECT_EQ(python, ours);
}

// ---- decoding -------------------------------------------------------------------------------

TEST(DecodeHtmlEntities, Cases) {
  const struct {
    WString text;
    WString expected;
  } cases[] = {
      {u"Fish &amp; Chips", u"Fish & Chips"},
      {u"a&nbsp;b", u"a b"},
      {u"&apos;x&#39;", u"'x'"},
      {u"&AMP; &amp &#x41; &#65 &#; &#-5;", u"&AMP; &amp &#x41; &#65 &#; &#-5;"},
      {u"&amp;lt;", u"&lt;"},
      {u"&amp;#60;", u"<"},
      {u"&amp;amp;", u"&amp;"},
      {u"&#38;#60;", u"<"},
      {u"&#38;lt;", u"&lt;"},           // the named pass is over
      {u"&#0065;", u"A"},
      {u"&#65;&#065;", u"AA"},
      {u"&#8364; &euro;", u"\u20AC \u20AC"},
      {u"&Auml;&auml;", u"\u00C4\u00E4"},
      {u"&thetasym;&alefsym;", u"\u03D1\u2135"},
      {u"&#55357;&#56832;", u"\U0001F600"},  // two halves make a pair
      {u"&#55357;", WString(1, u'\xD83D')},
      {u"&#&#51;8;", u"&"},              // "&#" + "3" + "8;" forms "&#38;"
      {u"&#38;#38;#59;", u";"},
      {u"&#65535;", WString(1, u'\xFFFF')},
      {u"&#1;", WString(1, u'\x0001')},
      {u"no references at all", u"no references at all"},
      {u"&lt&gt;", u"&lt>"},
      {u"&&lt;;", u"&<;"},
      {WString(u"a\0&lt;b", 7), WString(u"a\0<b", 4)},
      {u"&\xD800lt;&lt;", u"&\xD800lt;<"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, Decoded(c.text)) << "case index " << (&c - cases);
}

TEST(DecodeHtmlEntities, NothingToDecodeLogsNothing) {
  TraceCapture trace;
  EXPECT_EQ(u"plain text", Decoded(u"plain text"));
  EXPECT_EQ(u"a & b", Decoded(u"a &amp; b"));
  EXPECT_TRUE(trace.Lines().empty());
}

TEST(DecodeHtmlEntities, EmptyTextStaysEmptyWithTheSearchWarning) {
  TraceCapture trace;
  EXPECT_EQ(u"", Decoded(u""));
  const auto lines = trace.Lines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ(u"WRN", lines[0].tag);
  EXPECT_EQ(u"Input string is empty", lines[0].text);
}

TEST(DecodeHtmlEntities, BadValuesAreReportedOnceAndLeftInPlace) {
  TraceCapture trace;
  // The quoted text is the literal procedure's at that moment: the good reference before the
  // bad one is already replaced everywhere, to its right too; "&#66;" not yet.
  EXPECT_EQ(u"Ax&#0;y&#65536;z&#0;<AB", Decoded(u"&#65;x&#0;y&#65536;z&#0;&lt;&#65;&#66;"));
  const auto lines = trace.Lines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(u"ERR", lines[0].tag);
  EXPECT_EQ(u"Bad &#nnn; code: \"&#0;\" => 0 ; string is:\n\t\"Ax&#0;y&#65536;z&#0;<A&#66;\"",
            lines[0].text);
  EXPECT_EQ(
      u"Bad &#nnn; code: \"&#65536;\" => 65536 ; string is:\n\t\"Ax&#0;y&#65536;z&#0;<A&#66;\"",
      lines[1].text);
}

TEST(DecodeHtmlEntities, HugeNumbersCountAsTheLargestValue) {
  TraceCapture trace;
  EXPECT_EQ(u"&#99999999999999999999;", Decoded(u"&#99999999999999999999;"));
  EXPECT_TRUE(trace.HasLine(
      u"Bad &#nnn; code: \"&#99999999999999999999;\" => 2147483647 ; string is:\n\t"
      u"\"&#99999999999999999999;\""));
}

TEST(DecodeHtmlEntities, ReportsAreBoundedOnHostileText) {
  WString text;
  for (int i = 0; i < 5000; ++i) text += u"&#" + Wide(std::to_string(70000 + i).c_str()) + u";";
  text += u"&#65;";
  TraceCapture trace;
  const WString decoded = Decoded(text);
  EXPECT_EQ(u'A', decoded.back());
  EXPECT_EQ(static_cast<std::size_t>(kMaxBadReferenceReports), trace.Lines().size());
}

// Random texts full of near-references: the one-scan passes must give exactly what the
// literal table-order procedure gives.
TEST(DecodeHtmlEntities, OneScanEqualsTheLiteralProcedure) {
  const WString pieces[] = {
      u"&",      u"#",        u";",        u"amp;",   u"lt;",     u"&amp;",   u"&#",
      u"0",      u"3",        u"5",        u"6",      u"8",       u"9",       u"x",
      u"&#38;",  u"&#59;",    u"&#35;",    u"&#51;",  u"&#0;",    u"&#65536;", u"&nbsp;",
      u"&Auml;", u"&auml;",   u"&AMP;",    u"&euro;", u"&eur",    u"euro;",   u"&#x41;",
      u"&lt",    u"&thetasym;", u"thetasym", u"&#038;", u"&#00;",  u" ",       u"\xD800",
      u"&quot;", u"&#0000000000038;", u"&amp;#", u"&#6", u"5;",   u"&apos;",  u"&sup2;",
  };
  std::mt19937 random(12345);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> length(0, 24);
  for (int round = 0; round < 3000; ++round) {
    WString text;
    for (int n = length(random); n > 0; --n) text += pieces[pick(random)];

    WString named = text, reference = text;
    DecodeNamedReferences(named);
    html_entities_reference::NamedPass(reference);
    ASSERT_EQ(reference, named) << "named pass, round " << round;

    std::set<WString> referenceBad;
    std::map<WString, WString> referenceQuoted;
    html_entities_reference::DecimalPass(reference, referenceBad, &referenceQuoted);
    TraceCapture trace;
    WString decoded = named;
    DecodeDecimalReferences(decoded);
    ASSERT_EQ(reference, decoded) << "decimal pass, round " << round;

    // Each bad form is reported once, quoting the text as the literal procedure had it then.
    std::map<WString, WString> reported;
    for (const auto& line : trace.Lines()) {
      if (line.tag != u"ERR") continue;
      const std::size_t open = line.text.find(u'"');
      const std::size_t close = line.text.find(u'"', open + 1);
      const std::size_t quote = line.text.find(u"\t\"", close);
      reported.emplace(line.text.substr(open + 1, close - open - 1),
                       line.text.substr(quote + 2, line.text.size() - quote - 3));
    }
    // The log's byte conversion turns the pieces' lone surrogate into U+FFFD.
    for (auto& [form, quoted] : referenceQuoted) {
      std::replace(quoted.begin(), quoted.end(), u'\xD800', u'\xFFFD');
    }
    EXPECT_EQ(referenceQuoted, reported) << "round " << round;
  }
}

TEST(DecodeHtmlEntities, MegabyteText) {
  WString text;
  while (text.size() < (1u << 20)) text += u"Rock &amp; Roll &#8217;n&#39; &eacute;&#0; ";
  TraceCapture trace;
  const WString decoded = Decoded(text);
  EXPECT_EQ(0u, decoded.find(u"Rock & Roll \u2019n' \u00E9&#0; "));
  EXPECT_EQ(1u, trace.Lines().size());  // "&#0;" once
}

}  // namespace
}  // namespace text
