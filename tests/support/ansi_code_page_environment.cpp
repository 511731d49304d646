// Linked into every test program of the Windows build: the tests run with UTF-8 as the ANSI
// code page, the POSIX platform's default, so that both platforms run the same cases. Windows'
// own ANSI code page (1252 under an English Wine) would turn their non-ASCII text into "?".
// Tests of other code pages set theirs with ScopedAnsiCodePage as on POSIX.
#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace {

class Utf8AnsiCodePage : public testing::Environment {
 public:
  void SetUp() override { platform::SetAnsiCodePage(platform::kCpUtf8); }
};

[[maybe_unused]] testing::Environment* const registered =
    testing::AddGlobalTestEnvironment(new Utf8AnsiCodePage);

}  // namespace
