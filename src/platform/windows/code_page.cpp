#include "platform/code_page.h"

#include <atomic>

#include "platform/windows/win_text.h"

namespace platform {
namespace {

// 0: the system's own ANSI code page; any other value was set by a test and stands for it.
std::atomic<std::uint32_t> ansiOverride{0};

// The system converts CP_ACP and CP_THREAD_ACP itself; a test's setting goes in their place.
UINT Resolve(std::uint32_t codePage) {
  const std::uint32_t set = ansiOverride.load(std::memory_order_relaxed);
  if (set != 0 && (codePage == kCpAcp || codePage == kCpThreadAcp)) return set;
  return codePage;
}

}  // namespace

int MultiByteToWide(std::uint32_t codePage, std::uint32_t flags, const char* src, int srcLength,
                    char16_t* dst, int dstCapacity) {
  return ::MultiByteToWideChar(Resolve(codePage), flags, src, srcLength, win::W(dst),
                               dstCapacity);
}

int WideToMultiByte(std::uint32_t codePage, std::uint32_t flags, const char16_t* src,
                    int srcLength, char* dst, int dstCapacity, const char* defaultChar,
                    bool* usedDefault) {
  BOOL used = FALSE;
  const int result = ::WideCharToMultiByte(Resolve(codePage), flags, win::W(src), srcLength, dst,
                                           dstCapacity, defaultChar,
                                           usedDefault != nullptr ? &used : nullptr);
  if (usedDefault != nullptr) *usedDefault = used != FALSE;
  return result;
}

std::uint32_t GetAnsiCodePage() {
  const std::uint32_t set = ansiOverride.load(std::memory_order_relaxed);
  return set != 0 ? set : ::GetACP();
}

void SetAnsiCodePage(std::uint32_t codePage) {
  // Setting the system's own code page is the same as setting none.
  ansiOverride.store(codePage == ::GetACP() ? 0 : codePage, std::memory_order_relaxed);
}

std::uint32_t GetThreadAnsiCodePage() {
  const std::uint32_t set = ansiOverride.load(std::memory_order_relaxed);
  if (set != 0) return set;
  // The thread's locale names its ANSI code page.
  DWORD codePage = 0;
  if (::GetLocaleInfoW(::GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<wchar_t*>(&codePage),
                       sizeof codePage / sizeof(wchar_t)) == 0) {
    return ::GetACP();
  }
  return codePage;
}

// The system's converters are part of the system: nothing to keep loaded.
void KeepConversionLibraryLoaded() {}

}  // namespace platform
