#include "encoding/wide_to_bytes.h"

#include <gtest/gtest.h>

#include <new>
#include <string>

#include "platform/code_page.h"
#include "encoding/conversion_exception.h"

namespace {

TEST(CWideToBytes, AsksForFourBytesPerCharacterInlineUpTo128) {
  const struct {
    std::size_t length;
    bool inlined;
    std::size_t capacity;
  } cases[] = {
      {0, true, 128}, {31, true, 128}, {32, false, 132}, {40, false, 164}, {2000, false, 8004},
  };
  for (const auto& c : cases) {
    const WString text(c.length, u'\u00E9');
    CWideToBytes bytes(text, platform::kCpThreadAcp);
    std::string expected;
    for (std::size_t i = 0; i < c.length; ++i) expected += "\xC3\xA9";
    EXPECT_EQ(expected, bytes.Str()) << c.length;
    EXPECT_EQ(c.inlined, bytes.IsInline()) << c.length;
    EXPECT_EQ(c.capacity, bytes.Capacity()) << c.length;
  }
}

TEST(CWideToBytes, ConvertsInTheThreadAnsiCodePage) {
  const struct {
    std::uint32_t ansi;
    WString text;
    std::string expected;
  } cases[] = {
      {platform::kCpUtf8, u"a\u20AC", "a\xE2\x82\xAC"},
      {platform::kCpUtf8, u"x\xD800y", "x\xEF\xBF\xBDy"},        // lone surrogate
      {platform::kCpUtf8, WString(u"ab\0cd", 5), "ab"},          // up to the first NUL
      {platform::kCpWindows1252, u"a\u20AC", "a\x80"},
      {platform::kCpWindows1252, u"\u4E2D", "?"},                // the code page's default
  };
  for (const auto& c : cases) {
    platform::ScopedAnsiCodePage ansi(c.ansi);
    EXPECT_EQ(c.expected, CWideToBytes(c.text, platform::kCpThreadAcp).Str());
  }
}

TEST(CWideToBytes, NullGivesNull) {
  CWideToBytes bytes(static_cast<const char16_t*>(nullptr), platform::kCpThreadAcp);
  EXPECT_EQ(nullptr, bytes.Get());
}

TEST(CWideToBytes, FailureRaisesTheErrorAsResultCode) {
  platform::ScopedAnsiCodePage ansi(12345);
  EXPECT_THROW(CWideToBytes(u"abc", platform::kCpThreadAcp), CConversionException);
}

TEST(ConversionException, ResultCodesFromWindowsErrors) {
  const struct {
    std::uint32_t error;
    std::uint32_t hresult;
  } cases[] = {
      {0, 0},
      {87, 0x80070057},
      {122, 0x8007007A},
      {1113, 0x80070459},
      {0x12345678, 0x80075678},   // only the low 16 bits are kept
      {0x80004005, 0x80004005},   // negative: the value itself
  };
  for (const auto& c : cases) {
    EXPECT_EQ(static_cast<std::int32_t>(c.hresult), encoding::HResultFromWin32(c.error)) << c.error;
  }
  EXPECT_THROW(encoding::ThrowConversionError(14), std::bad_alloc);  // ERROR_OUTOFMEMORY
  EXPECT_THROW(encoding::ThrowConversionError(8), CConversionException);
}

}  // namespace
