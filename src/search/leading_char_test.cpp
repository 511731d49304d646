#include "search/leading_char.h"

#include <gtest/gtest.h>

namespace {

TEST(LeadingChar, Table) {
  struct Case {
    const char16_t* name;
    char16_t digitReplacement;
    std::int32_t lowerCase;
    std::int32_t result;
    char16_t out;
  };
  const Case cases[] = {
      {u"abba", 0, 0, 1, u'A'},        {u"Abba", 0, 0, 1, u'A'},
      {u"abba", 0, 1, 1, u'a'},        {u"Abba", 0, 1, 1, u'a'},
      {u"zz", 0, 0, 1, u'Z'},          {u"Zz", 0, 1, 1, u'z'},
      {u"2Pac", u'#', 0, 1, u'#'},     {u"2Pac", 0, 0, 1, u'2'},
      {u"0", u'#', 1, 1, u'#'},        {u"9", 0, 1, 1, u'9'},
      {u"", u'#', 0, 0, 0},            {u" Abba", 0, 0, 0, 0},
      {u"!!!", u'#', 0, 0, 0},         {u"\u00C9dith", 0, 0, 0, 0},
      {u"@", 0, 0, 0, 0},              {u"[", 0, 0, 0, 0},
      {u"`", 0, 1, 0, 0},              {u"{", 0, 1, 0, 0},
  };
  for (const Case& c : cases) {
    char16_t out = u'?';
    EXPECT_EQ(search::GetLeadingChar(c.name, out, c.digitReplacement, c.lowerCase), c.result)
        << (&c - cases);
    EXPECT_EQ(out, c.out) << (&c - cases);
  }
}

}  // namespace
