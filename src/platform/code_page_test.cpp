#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/system_error.h"
#include "support/wine.h"

namespace {

using platform::MultiByteToWide;
using testing_support::KnownWineDifference;

// Wine's reasons, shared by the rows they explain.
#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

constexpr const char* kWineUtf8Pieces =
    "Wine reads a lead byte and the continuation bytes after it as one ill-formed piece";
constexpr const char* kWineUncheckedArguments =
    "Wine does not check this argument: it converts where Windows refuses";
using platform::WideToMultiByte;

constexpr std::uint32_t kInvalidFlags = 1004;

// Bytes to wide through the two-call pattern (size query, then conversion); nullopt-like
// failure is reported through ok.
WString ToWide(std::uint32_t codePage, std::uint32_t flags, const std::string& bytes,
               bool* ok = nullptr) {
  const int needed = MultiByteToWide(codePage, flags, bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, 0);
  WString out(static_cast<std::size_t>(needed), u'\0');
  const int written = needed == 0 ? 0
                                  : MultiByteToWide(codePage, flags, bytes.data(),
                                                    static_cast<int>(bytes.size()), out.data(),
                                                    needed);
  if (ok != nullptr) *ok = needed != 0 && written == needed;
  out.resize(static_cast<std::size_t>(written));
  return out;
}

std::string ToBytes(std::uint32_t codePage, std::uint32_t flags, const WString& text,
                    const char* defaultChar = nullptr, bool* usedDefault = nullptr) {
  const int needed = WideToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, defaultChar, usedDefault);
  std::string out(static_cast<std::size_t>(needed), '\0');
  const int written = needed == 0 ? 0
                                  : WideToMultiByte(codePage, flags, text.data(),
                                                    static_cast<int>(text.size()), out.data(),
                                                    needed, defaultChar, usedDefault);
  out.resize(static_cast<std::size_t>(written));
  return out;
}

TEST(CodePage, Latin1MapsEveryByteToTheSameValueAndBack) {
  std::string all;
  WString expected;
  for (int b = 1; b < 256; ++b) {
    all.push_back(static_cast<char>(b));
    expected.push_back(static_cast<char16_t>(b));
  }
  EXPECT_EQ(expected, ToWide(platform::kCpLatin1, 0, all));
  bool usedDefault = true;
  EXPECT_EQ(all, ToBytes(platform::kCpLatin1, 0, expected, "#", &usedDefault));
  EXPECT_FALSE(usedDefault);
}

TEST(CodePage, Windows1252KeepsItsUndefinedBytesAsControls) {
  const struct {
    char byte;
    char16_t unit;
  } cases[] = {
      {'\x80', u'\u20AC'}, {'\x81', u'\u0081'}, {'\x8D', u'\u008D'}, {'\x8F', u'\u008F'},
      {'\x90', u'\u0090'}, {'\x9D', u'\u009D'}, {'\x9F', u'\u0178'}, {'\xE9', u'\u00E9'},
  };
  for (const auto& c : cases) {
    const std::string byte(1, c.byte);
    EXPECT_EQ(WString(1, c.unit), ToWide(platform::kCpWindows1252, 0, byte)) << int(c.unit);
    EXPECT_EQ(byte, ToBytes(platform::kCpWindows1252, 0, WString(1, c.unit), "#"))
        << int(c.unit);
  }
}

TEST(CodePage, Utf8ReplacesEachMaximalIllFormedPieceOnce) {
  const struct {
    std::string bytes;
    WString expected;
    const char* wineDiffers = nullptr;
  } cases[] = {
      {"\xEF\xBB\xBF" "a", u"\uFEFFa"},                 // the mark is kept
      {"h\xC3\xA9", u"h\u00E9"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"a\xED\xA0\x80" "b", u"a\uFFFD\uFFFD\uFFFDb", kWineUtf8Pieces},   // encoded surrogate: three pieces
      {"\xF0\x80\x80" "c", u"\uFFFD\uFFFD\uFFFDc", kWineUtf8Pieces},     // overlong lead
      {"c\xE2\x82" "d", u"c\uFFFDd"},                   // truncated sequence: one piece
      {"\xC0\xAF", u"\uFFFD\uFFFD"},
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", kWineUtf8Pieces},  // above U+10FFFF
      {"\x80\xBF", u"\uFFFD\uFFFD"},                    // lone continuation bytes
      {"x\xE2\x82", u"x\uFFFD"},                        // truncated at the very end
      {std::string("a\0b", 3), WString(u"a\0b", 3)},    // NUL bytes are characters too
  };
  for (const auto& c : cases) {
    if (KnownWineDifference(c.wineDiffers)) continue;
    EXPECT_EQ(c.expected, ToWide(platform::kCpUtf8, 0, c.bytes)) << c.bytes;
  }
}

TEST(CodePage, ErrInvalidCharsFailsOnIllFormedUtf8) {
  const int n = MultiByteToWide(platform::kCpUtf8, platform::kMbErrInvalidChars, "a\xC0", 2,
                                nullptr, 0);
  EXPECT_EQ(0, n);
  EXPECT_EQ(platform::error::kNoUnicodeTranslation, platform::GetLastErrorCode());
  EXPECT_EQ(2, MultiByteToWide(platform::kCpUtf8, platform::kMbErrInvalidChars, "ab", 2,
                               nullptr, 0));
}

TEST(CodePage, BadArgumentsFailWithWindowsErrors) {
  char16_t out[8];
  const struct {
    std::uint32_t codePage;
    std::uint32_t flags;
    const char* src;
    int length;
    char16_t* dst;
    int capacity;
    std::uint32_t error;
    const char* wineDiffers = nullptr;
  } cases[] = {
      {12345, 0, "a", 1, nullptr, 0, platform::error::kInvalidParameter},
      {1200, 0, "ab", 2, nullptr, 0, platform::error::kInvalidParameter},
      {1201, 0, "ab", 2, nullptr, 0, platform::error::kInvalidParameter},
      {platform::kCpLatin1, 0, nullptr, 1, nullptr, 0, platform::error::kInvalidParameter},
      {platform::kCpLatin1, 0, "a", 0, nullptr, 0, platform::error::kInvalidParameter},
      {platform::kCpLatin1, 0, "a", -2, nullptr, 0, platform::error::kInvalidParameter,
       kWineUncheckedArguments},
      {platform::kCpLatin1, 0, "a", 1, nullptr, 4, platform::error::kInvalidParameter},
      {platform::kCpLatin1, 0, "a", 1, out, -1, platform::error::kInvalidParameter},
      {platform::kCpLatin1, 0, "abc", 3, out, 2, platform::error::kInsufficientBuffer},
      {platform::kCpUtf8, platform::kMbPrecomposed, "a", 1, nullptr, 0, kInvalidFlags,
       kWineUncheckedArguments},
      {platform::kCpLatin1, 0x2 /* MB_COMPOSITE */, "a", 1, nullptr, 0, kInvalidFlags,
       kWineUncheckedArguments},
  };
  for (const auto& c : cases) {
    if (KnownWineDifference(c.wineDiffers)) continue;
    platform::SetLastErrorCode(0);
    EXPECT_EQ(0, MultiByteToWide(c.codePage, c.flags, c.src, c.length, c.dst, c.capacity))
        << "case index " << (&c - cases);
    EXPECT_EQ(c.error, platform::GetLastErrorCode()) << "case index " << (&c - cases);
  }
}

TEST(CodePage, WideToBytesBadArguments) {
  char out[8];
  const struct {
    std::uint32_t codePage;
    std::uint32_t flags;
    const char16_t* src;
    int length;
    char* dst;
    int capacity;
    const char* defaultChar;
    std::uint32_t error;
    const char* wineDiffers = nullptr;
  } cases[] = {
      {12345, 0, u"a", 1, nullptr, 0, nullptr, platform::error::kInvalidParameter},
      {platform::kCpLatin1, 0, nullptr, 1, nullptr, 0, nullptr,
       platform::error::kInvalidParameter},
      {platform::kCpLatin1, 0, u"a", 0, nullptr, 0, nullptr, platform::error::kInvalidParameter},
      {platform::kCpLatin1, 0, u"abc", 3, out, 2, nullptr, platform::error::kInsufficientBuffer},
      {platform::kCpUtf8, 0, u"a", 1, nullptr, 0, "#", platform::error::kInvalidParameter, kWineUncheckedArguments},
      {platform::kCpUtf8, platform::kWcCompositeCheck, u"a", 1, nullptr, 0, nullptr,
       kInvalidFlags, kWineUncheckedArguments},
      {platform::kCpWindows1252, platform::kWcErrInvalidChars, u"a", 1, nullptr, 0, nullptr,
       kInvalidFlags, kWineUncheckedArguments},
  };
  for (const auto& c : cases) {
    if (KnownWineDifference(c.wineDiffers)) continue;
    platform::SetLastErrorCode(0);
    EXPECT_EQ(0, WideToMultiByte(c.codePage, c.flags, c.src, c.length, c.dst, c.capacity,
                                 c.defaultChar, nullptr))
        << "case index " << (&c - cases);
    EXPECT_EQ(c.error, platform::GetLastErrorCode()) << "case index " << (&c - cases);
  }
}

TEST(CodePage, TerminatedInputCountsItsTerminator) {
  EXPECT_EQ(1, MultiByteToWide(platform::kCpLatin1, 0, "", -1, nullptr, 0));
  EXPECT_EQ(4, MultiByteToWide(platform::kCpLatin1, 0, "abc", -1, nullptr, 0));
  char16_t out[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(4, MultiByteToWide(platform::kCpLatin1, 0, "abc", -1, out, 4));
  EXPECT_EQ(WString(u"abc", 4), WString(out, 4));
  EXPECT_EQ(3, WideToMultiByte(platform::kCpUtf8, 0, u"\u00E9", -1, nullptr, 0, nullptr,
                               nullptr));
}

TEST(CodePage, UnmappableUnitsBecomeTheDefaultCharacter) {
  const struct {
    WString text;
    const char* defaultChar;
    std::string expected;
    bool usedDefault;
    const char* bestFit = nullptr;  // what Windows writes instead, by its best-fit table
  } cases[] = {
      {u"abc", "#", "abc", false},
      {u"\u4E2D", "#", "#", true},
      {u"a\u4E2Db", "#!", "a#b", true},           // only the first byte counts
      {u"\U0001F600", "#", "##", true},           // a pair gives two, as on Windows
      {u"x\xD800y", "#", "x#y", true},            // lone high surrogate
      {u"x\xDC00", "#", "x#", true},              // lone low surrogate at the end
      {u"\u4E2D", nullptr, "?", true},            // the code page's own default
      {u"\u0100", "#", "#", true, "A"},           // the stand-in has no best-fit table
  };
  for (const auto& c : cases) {
    bool usedDefault = !c.usedDefault;
    const bool bestFit = kWindows && c.bestFit != nullptr;
    EXPECT_EQ(bestFit ? c.bestFit : c.expected,
              ToBytes(platform::kCpWindows1252, 0, c.text, c.defaultChar, &usedDefault))
        << c.expected;
    EXPECT_EQ(c.usedDefault && !bestFit, usedDefault) << c.expected;
  }
}

TEST(CodePage, Utf8EncodingOfLoneSurrogates) {
  const struct {
    WString text;
    std::string expected;
  } cases[] = {
      {u"a\u00E9", "a\xC3\xA9"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},
      {u"\xD800" "a", "\xEF\xBF\xBD" "a"},
      {u"a\xDFFF", "a\xEF\xBF\xBD"},
      {u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // reversed pair: two lone units
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, ToBytes(platform::kCpUtf8, 0, c.text));

  platform::SetLastErrorCode(0);
  EXPECT_EQ(0, WideToMultiByte(platform::kCpUtf8, platform::kWcErrInvalidChars, u"a\xD800", 2,
                               nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(platform::error::kNoUnicodeTranslation, platform::GetLastErrorCode());
}

TEST(CodePage, CompositeCheckPrecomposesWhatTheCodePageHas) {
  constexpr std::uint32_t kFileFlags = platform::kWcCompositeCheck | platform::kWcSepChars;
  const struct {
    WString text;
    std::uint32_t flags;
    std::string expected;
    const char* bestFit = nullptr;  // Windows' best-fit table writes a lone acute as U+00B4
  } cases[] = {
      {u"e\u0301", kFileFlags, "\xE9"},
      {u"e\u0301", 0, "e#", "e\xB4"},                // without the check the mark is separate
      {u"q\u0301", kFileFlags, "q#", "q\xB4"},       // no precomposed q-acute: separate
      {u"A\u030A" "b", kFileFlags, "\xC5" "b"},
      {u"\u0301", kFileFlags, "#", "\xB4"},          // a mark without base
      {u"e\u0301\u0301", kFileFlags, "\xE9#", "\xE9\xB4"},
      {u"\u00E9", kFileFlags, "\xE9"},
  };
  for (const auto& c : cases) {
    const std::string expected = kWindows && c.bestFit != nullptr ? c.bestFit : c.expected;
    EXPECT_EQ(expected, ToBytes(platform::kCpWindows1252, c.flags, c.text, "#")) << c.expected;
  }
}

TEST(CodePage, AnsiCodePageIsUtf8UnlessSet) {
  EXPECT_EQ(platform::kCpUtf8, platform::GetAnsiCodePage());
  EXPECT_EQ(platform::kCpUtf8, platform::GetThreadAnsiCodePage());
  EXPECT_EQ("\xC3\xA9", ToBytes(platform::kCpThreadAcp, 0, u"\u00E9"));
  EXPECT_EQ("\xC3\xA9", ToBytes(platform::kCpAcp, 0, u"\u00E9"));
  {
    platform::ScopedAnsiCodePage ansi(platform::kCpWindows1252);
    EXPECT_EQ(platform::kCpWindows1252, platform::GetThreadAnsiCodePage());
    EXPECT_EQ("\xE9", ToBytes(platform::kCpThreadAcp, 0, u"\u00E9"));
    EXPECT_EQ(u"\u20AC", ToWide(platform::kCpThreadAcp, 0, "\x80"));
  }
  EXPECT_EQ(platform::kCpUtf8, platform::GetAnsiCodePage());
}

TEST(CodePage, MegabyteTextsConvertWhole) {
  std::string bytes(1 << 20, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  const WString wide = ToWide(platform::kCpLatin1, 0, bytes);
  ASSERT_EQ(bytes.size(), wide.size());
  EXPECT_EQ(bytes, ToBytes(platform::kCpLatin1, 0, wide));
  // The same bytes as UTF-8 are mostly ill-formed; nothing may be lost or added beyond the
  // replacement characters, and the result must round-trip through UTF-8 unchanged.
  const WString decoded = ToWide(platform::kCpUtf8, 0, bytes);
  EXPECT_FALSE(decoded.empty());
  EXPECT_EQ(decoded, ToWide(platform::kCpUtf8, 0, ToBytes(platform::kCpUtf8, 0, decoded)));
}

}  // namespace
