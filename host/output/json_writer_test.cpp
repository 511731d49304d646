#include "output/json_writer.h"

#include <gtest/gtest.h>

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

TEST(JsonWriter, WritesNumbersThatParseBack) {
  struct Case {
    double number;
    std::string text;
  };
  const Case cases[] = {{1.0, "1"},
                        {0.25, "0.25"},
                        {-3.5, "-3.5"},
                        {1e30, "1e+30"},
                        {std::numeric_limits<double>::infinity(), "null"}};
  for (const Case& c : cases) {
    JsonWriter json;
    json.Number(c.number);
    EXPECT_EQ(json.Text(), c.text);
  }
}

}  // namespace
}  // namespace host
