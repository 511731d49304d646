#include "encoding/bytes_to_wide.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/code_page.h"
#include "support/trace_capture.h"
#include "encoding/conversion_exception.h"

namespace {

using testing_support::TraceCapture;

TEST(CBytesToWide, InlineUpTo128Characters) {
  const struct {
    std::size_t length;
    bool inlined;
    std::size_t capacity;
  } cases[] = {{0, true, 128}, {127, true, 128}, {128, false, 129}, {1000, false, 1001}};
  for (const auto& c : cases) {
    const std::string text(c.length, 'q');
    CBytesToWide wide(text, platform::kCpThreadAcp);
    EXPECT_EQ(WString(c.length, u'q'), wide.Str());
    EXPECT_EQ(c.inlined, wide.IsInline()) << c.length;
    EXPECT_EQ(c.capacity, wide.Capacity()) << c.length;
  }
}

TEST(CBytesToWide, UsesTheThreadAnsiCodePage) {
  EXPECT_EQ(u"\u00E9\u4E2D", CBytesToWide("\xC3\xA9\xE4\xB8\xAD", platform::kCpThreadAcp).Str());
  platform::ScopedAnsiCodePage ansi(platform::kCpWindows1252);
  EXPECT_EQ(u"\u00C3\u00A9", CBytesToWide("\xC3\xA9", platform::kCpThreadAcp).Str());
}

TEST(CBytesToWide, NullGivesNull) {
  CBytesToWide wide(static_cast<const char*>(nullptr), platform::kCpThreadAcp);
  EXPECT_EQ(nullptr, wide.Get());
  EXPECT_EQ(u"", wide.Str());
}

TEST(CBytesToWide, FailureRaisesTheErrorAsResultCode) {
  platform::ScopedAnsiCodePage ansi(12345);
  try {
    CBytesToWide wide("abc", platform::kCpThreadAcp);
    ADD_FAILURE() << "no exception";
  } catch (const CConversionException& e) {
    EXPECT_EQ(static_cast<std::int32_t>(0x80070057), e.HResult());
  }
}

}  // namespace
