#include "output/json_writer.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>

namespace host {
namespace {

TEST(JsonWriter, QuotesEveryCharacterThatNeedsIt) {
  struct Case {
    std::string text;
    std::string quoted;
  };
  const Case cases[] = {
      {"", "\"\""},
      {"plain", "\"plain\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"back\\slash", "\"back\\\\slash\""},
      {"line\r\nend", "\"line\\r\\nend\""},
      {"tab\there", "\"tab\\there\""},
      {std::string("nul\0x", 5), "\"nul\\u0000x\""},
      {"\x1f\x7f", "\"\\u001f\\u007f\""},
      {"Chlo\xC3\xA9 \xE2\x82\xAC", "\"Chlo\xC3\xA9 \xE2\x82\xAC\""},  // UTF-8 passes through
      {"</script>", "\"</script>\""},
      // Not UTF-8: each stray byte becomes U+FFFD, so that the document still parses.
      {"Caf\xE9!", "\"Caf\xEF\xBF\xBD!\""},
      {"\xC3", "\"\xEF\xBF\xBD\""},
      {"\xC0\xAF\xED\xA0", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // overlong, surrogate
  };
  for (const Case& c : cases) EXPECT_EQ(JsonQuote(c.text), c.quoted) << c.text;
}

TEST(JsonWriter, PutsCommasBetweenMembersAtEveryDepth) {
  JsonWriter json;
  json.BeginObject()
      .Field("a", 1)
      .Field("b", "x")
      .Key("list")
      .BeginArray()
      .BeginObject()
      .Field("t", true)
      .EndObject()
      .BeginObject()
      .EndObject()
      .Number(2.5)
      .Null()
      .EndArray()
      .Key("empty")
      .BeginArray()
      .EndArray()
      .Field("f", false)
      .EndObject();
  EXPECT_EQ(json.Text(), R"({"a":1,"b":"x","list":[{"t":true},{},2.5,null],"empty":[],"f":false})");
}

TEST(JsonWriter, MakesSnakeCaseKeys) {
  const std::pair<const char*, const char*> cases[] = {
      {"Name", "name"},           {"SourceId", "source_id"}, {"SupportedSearch", "supported_search"},
      {"VersionInt", "version_int"}, {"InfoUrl", "info_url"},   {"Mp3Tag", "mp3_tag"},
      {"already_snake", "already_snake"},
  };
  for (const auto& [name, key] : cases) EXPECT_EQ(SnakeCase(name), key);
}

TEST(JsonWriter, WritesPathsThatMapBackToTheirBytes) {
  using namespace std::string_view_literals;
  const std::pair<std::string_view, const char*> base64[] = {
      {""sv, ""}, {"f"sv, "Zg=="}, {"fo"sv, "Zm8="}, {"foo"sv, "Zm9v"}, {"\xFF\xFE\x00\x01"sv, "//4AAQ=="}};
  for (const auto& [bytes, text] : base64) EXPECT_EQ(Base64(bytes), text);
  JsonWriter json;
  json.BeginObject()
      .PathField("path", "/m/Caf\xC3\xA9.flac")
      .PathField("path", "/m/caf\xE9.flac")
      .PathField("out", "tab\there")
      .FieldOrNull("url", "")
      .EndObject();
  EXPECT_EQ(json.Text(),
            "{\"path\":\"/m/Caf\xC3\xA9.flac\",\"path_base64\":null,"
            R"("path":"/m/caf\\xE9.flac","path_base64":"L20vY2Fm6S5mbGFj",)"
            R"("out":"tab\\x09here","out_base64":"dGFiCWhlcmU=","url":null})");
}

TEST(JsonWriter, WritesNumbersThatParseBack) {
  struct Case {
    double number;
    std::string text;
  };
  const Case cases[] = {{1.0, "1"},
                        {0.25, "0.25"},
                        {-3.5, "-3.5"},
                        {1e30, "1e+30"},
                        {0.1, "0.1"},  // no digits the number does not need
                        // every digit it does need
                        {1234567890.125, "1234567890.125"},
                        {9007199254740992.0, "9007199254740992"},
                        {std::numeric_limits<double>::infinity(), "null"}};
  for (const Case& c : cases) {
    JsonWriter json;
    json.Number(c.number);
    EXPECT_EQ(json.Text(), c.text);
  }
  // A count beyond 32 bits, beyond what a double holds exactly, stays whole.
  JsonWriter json;
  json.BeginArray().Number(std::int64_t{9007199254740993}).Number(std::int64_t{-4294967297});
  EXPECT_EQ(json.EndArray().Text(), "[9007199254740993,-4294967297]");
}

}  // namespace
}  // namespace host
