#include "encoding/ansi_conversion.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/code_page.h"

namespace encoding {
namespace {

TEST(AnsiToWideBuffer, GrowsOnlyWhenTheLineDoesNotFit) {
  const struct {
    std::size_t length;
    bool grown;
  } cases[] = {{0, false}, {4095, false}, {4096, true}, {5000, true}};
  for (const auto& c : cases) {
    char16_t fixed[4096];
    CTemplateSmartPtrArray<char16_t> buffer(fixed);
    const std::string line(c.length, 'z');
    EXPECT_EQ(static_cast<int>(c.length),
              AnsiToWideBuffer(line.c_str(), buffer, 4096, kSystemAnsiCodePage));
    EXPECT_EQ(c.grown, buffer.IsOwned()) << c.length;
    EXPECT_EQ(c.grown, buffer.Get() != fixed) << c.length;
    EXPECT_EQ(WString(c.length, u'z'), WString(buffer.Get())) << c.length;
  }
}

TEST(WideToAnsiBuffer, GrowsOnlyWhenTheTextDoesNotFit) {
  char fixed[4096];
  CTemplateSmartPtrArray<char> buffer(fixed);
  const WString text(3000, u'\u00E9');  // 6000 bytes in UTF-8
  EXPECT_EQ(6000, WideToAnsiBuffer(text.c_str(), buffer, 4096, kSystemAnsiCodePage, '#'));
  EXPECT_TRUE(buffer.IsOwned());
  EXPECT_EQ(6000u, std::string(buffer.Get()).size());
}

TEST(FileTextConversion, SystemAnsiCodePage1252) {
  platform::ScopedAnsiCodePage ansi(platform::kCpWindows1252);
  char bytes[16];
  const struct {
    WString text;
    std::string expected;
  } cases[] = {
      {u"\u4E2D", "#"},
      {u"a\u20ACb", "a\x80" "b"},
      {u"e\u0301", "\xE9"},           // composed by the composite check
      {u"\U0001F600", "##"},
  };
  for (const auto& c : cases) {
    const int n = WideToAnsi(c.text.c_str(), bytes, sizeof bytes, kSystemAnsiCodePage, '#');
    EXPECT_EQ(c.expected, std::string(bytes, static_cast<std::size_t>(n)));
  }
  char16_t wide[8];
  EXPECT_EQ(2, AnsiToWide("\x80\x81", wide, 8, kSystemAnsiCodePage));
  EXPECT_EQ(u"\u20AC\u0081", WString(wide));
}

TEST(FileTextConversion, Utf8SystemCodePageTakesNoFlags) {
  char bytes[16];
  EXPECT_EQ(3, WideToAnsi(u"\u4E2D", bytes, sizeof bytes, kSystemAnsiCodePage, '#'));
  EXPECT_EQ("\xE4\xB8\xAD", std::string(bytes));
  EXPECT_EQ(4, GetAnsiLength(u"\u4E2D", kSystemAnsiCodePage));
  EXPECT_EQ(3, WideToAnsi(u"\u4E2D", bytes, sizeof bytes, platform::kCpUtf8, '#'));
  char16_t wide[8];
  EXPECT_EQ(1, AnsiToWide("\xE4\xB8\xAD", wide, 8, kSystemAnsiCodePage));
  EXPECT_EQ(2, GetWideLength("\xE4\xB8\xAD", kSystemAnsiCodePage));
  // The platform's own names for the ANSI code page take the UTF-8 rules too.
  EXPECT_EQ(1, AnsiToWide("\xE4\xB8\xAD", wide, 8, static_cast<int>(platform::kCpAcp)));
}

TEST(FileTextConversion, BadArgumentsGiveZero) {
  char bytes[4] = {'x', 'x', 'x', 'x'};
  char16_t wide[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(0, GetWideLength(nullptr, kSystemAnsiCodePage));
  EXPECT_EQ(0, GetWideLength("a", 12345));
  EXPECT_EQ(0, AnsiToWide(nullptr, wide, 4, kSystemAnsiCodePage));
  EXPECT_EQ(0, AnsiToWide("a", nullptr, 4, kSystemAnsiCodePage));
  EXPECT_EQ(0, AnsiToWide("abc", wide, 0,
                          kSystemAnsiCodePage));  // no size query in disguise
  EXPECT_EQ(0, AnsiToWide("abc", wide, -5, kSystemAnsiCodePage));
  EXPECT_EQ(0, AnsiToWide("abcdef", wide, 4, kSystemAnsiCodePage));  // does not fit
  EXPECT_EQ(0, AnsiToWide("a", wide, 4, 12345));
  EXPECT_EQ(0, GetAnsiLength(nullptr, kSystemAnsiCodePage));
  EXPECT_EQ(0, WideToAnsi(nullptr, bytes, 4, kSystemAnsiCodePage, '#'));
  EXPECT_EQ(0, WideToAnsi(u"a", nullptr, 4, kSystemAnsiCodePage, '#'));
  EXPECT_EQ(0, WideToAnsi(u"a", bytes, 0, kSystemAnsiCodePage, '#'));
  EXPECT_EQ(0, WideToAnsi(u"abcdef", bytes, 4, kSystemAnsiCodePage, '#'));
  EXPECT_EQ(0, WideToAnsi(u"a", bytes, 4, 12345, '#'));
  CTemplateSmartPtrArray<char16_t> empty;
  EXPECT_EQ(0, AnsiToWideBuffer(nullptr, empty, 0, kSystemAnsiCodePage));
  EXPECT_EQ(nullptr, empty.Get());
}

TEST(FileTextConversion, EmptyTextIsZeroCharacters) {
  char16_t wide[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(0, AnsiToWide("", wide, 4, kSystemAnsiCodePage));
  EXPECT_EQ(u'\0', wide[0]);
  EXPECT_EQ(1, GetWideLength("", kSystemAnsiCodePage));
}

TEST(CTemplateSmartPtrArray, OwnsOnlyWhatItAllocated) {
  CTemplateSmartPtrArray<char> empty;
  EXPECT_EQ(nullptr, empty.Get());
  EXPECT_FALSE(empty.IsOwned());

  char fixed[4] = {'a', 'b', 'c', '\0'};
  CTemplateSmartPtrArray<char> array(fixed);
  EXPECT_EQ(fixed, array.Get());
  EXPECT_FALSE(array.IsOwned());
  char* grown = array.Grow(10);
  EXPECT_TRUE(array.IsOwned());
  EXPECT_EQ(std::string(10, '\0'), std::string(grown, 10));  // fresh, content not copied
  EXPECT_STREQ("abc", fixed);                                // the user's buffer untouched
  array.Grow(20);  // releases the first heap array (the sanitizer build checks the leak)
  EXPECT_TRUE(array.IsOwned());
}

}  // namespace
}  // namespace encoding
