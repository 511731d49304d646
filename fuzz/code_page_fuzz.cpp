// The code-page conversions over bytes and UTF-16 text from outside (pages, files, headers),
// for ISO 8859-1, Windows-1252 and UTF-8, with every flag the callers may pass. Each call is
// made as its callers make it: once for the size, then into a buffer of exactly that size
// (so that a write past it shows), and once into a buffer one unit short, which must fail with
// 122. Then the round trips the code pages promise.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "platform/code_page.h"
#include "platform/system_error.h"

namespace {

using namespace platform;

// Larger inputs only repeat the same converter paths more slowly.
constexpr std::size_t kMaxBytes = 16 * 1024;
constexpr std::uint32_t kErrorInvalidFlags = 1004;
constexpr std::uint32_t kErrorNoTranslation = 1113;
constexpr std::uint32_t kMbComposite = 0x2;  // not supported: must fail with 1004
constexpr std::uint32_t kWcDefaultChar = 0x40;

constexpr std::uint32_t kCodePages[] = {kCpLatin1, kCpWindows1252, kCpUtf8};
constexpr std::uint32_t kToWideFlags[] = {0, kMbPrecomposed, kMbErrInvalidChars, kMbComposite};
constexpr std::uint32_t kToBytesFlags[] = {0, kWcCompositeCheck | kWcSepChars,
                                           kWcNoBestFitChars, kWcErrInvalidChars,
                                           kWcDefaultChar};

std::string Where(const char* direction, std::uint32_t codePage, std::uint32_t flags) {
  return std::string(direction) + " code page " + std::to_string(codePage) + " flags " +
         std::to_string(flags) + ": ";
}

bool ToWideFlagsValid(std::uint32_t codePage, std::uint32_t flags) {
  return codePage == kCpUtf8 ? (flags & ~kMbErrInvalidChars) == 0
                             : (flags & ~kMbPrecomposed) == 0;
}

bool ToBytesFlagsValid(std::uint32_t codePage, std::uint32_t flags) {
  return codePage == kCpUtf8 ? (flags & ~kWcErrInvalidChars) == 0
                             : (flags & ~(kWcSepChars | kWcCompositeCheck | kWcNoBestFitChars)) == 0;
}

// Size query, exact buffer, short buffer. Empty text when the conversion fails.
bool ToWide(std::uint32_t codePage, std::uint32_t flags, std::string_view bytes, WString& out) {
  const std::string where = Where("to wide", codePage, flags);
  const int length = static_cast<int>(bytes.size());
  const int needed = MultiByteToWide(codePage, flags, bytes.data(), length, nullptr, 0);
  out.clear();
  if (needed <= 0) {
    const std::uint32_t error = GetLastErrorCode();
    fuzz::Check(needed == 0 && (error == kErrorInvalidFlags || error == kErrorNoTranslation),
                where + "failed with " + std::to_string(error));
    fuzz::Check((error == kErrorInvalidFlags) == !ToWideFlagsValid(codePage, flags),
                where + "flags judged wrongly");
    return false;
  }
  fuzz::Check(ToWideFlagsValid(codePage, flags), where + "invalid flags accepted");
  fuzz::Check(static_cast<std::size_t>(needed) <= bytes.size(), where + "more units than bytes");
  std::unique_ptr<char16_t[]> exact(new char16_t[needed]);
  fuzz::Check(MultiByteToWide(codePage, flags, bytes.data(), length, exact.get(), needed) ==
                  needed,
              where + "the exact buffer is not enough");
  out.assign(exact.get(), static_cast<std::size_t>(needed));
  if (needed > 1) {
    std::unique_ptr<char16_t[]> small(new char16_t[needed - 1]);
    fuzz::Check(MultiByteToWide(codePage, flags, bytes.data(), length, small.get(),
                                needed - 1) == 0 &&
                    GetLastErrorCode() == error::kInsufficientBuffer,
                where + "a short buffer did not fail with 122");
  }
  return true;
}

bool ToBytes(std::uint32_t codePage, std::uint32_t flags, const WString& text, std::string& out,
             bool* usedDefault = nullptr) {
  const std::string where = Where("to bytes", codePage, flags);
  const int length = static_cast<int>(text.size());
  const char* defaultChar = codePage == kCpUtf8 ? nullptr : "#";
  bool used = false;
  bool* usedOut = codePage == kCpUtf8 ? nullptr : &used;
  const int needed =
      WideToMultiByte(codePage, flags, text.data(), length, nullptr, 0, defaultChar, usedOut);
  out.clear();
  if (needed <= 0) {
    const std::uint32_t error = GetLastErrorCode();
    fuzz::Check(needed == 0 && (error == kErrorInvalidFlags || error == kErrorNoTranslation),
                where + "failed with " + std::to_string(error));
    fuzz::Check((error == kErrorInvalidFlags) == !ToBytesFlagsValid(codePage, flags),
                where + "flags judged wrongly");
    return false;
  }
  fuzz::Check(ToBytesFlagsValid(codePage, flags), where + "invalid flags accepted");
  std::unique_ptr<char[]> exact(new char[needed]);
  used = false;
  fuzz::Check(WideToMultiByte(codePage, flags, text.data(), length, exact.get(), needed,
                              defaultChar, usedOut) == needed,
              where + "the exact buffer is not enough");
  out.assign(exact.get(), static_cast<std::size_t>(needed));
  if (usedDefault != nullptr) *usedDefault = used;
  if (needed > 1) {
    std::unique_ptr<char[]> small(new char[needed - 1]);
    fuzz::Check(WideToMultiByte(codePage, flags, text.data(), length, small.get(), needed - 1,
                                defaultChar, usedOut) == 0 &&
                    GetLastErrorCode() == error::kInsufficientBuffer,
                where + "a short buffer did not fail with 122");
  }
  return true;
}

bool IsWellFormed(const WString& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

// Bytes in and back out: the single-byte pages map every byte to one unit and back.
void CheckBytes(std::string_view bytes) {
  for (const std::uint32_t codePage : kCodePages) {
    for (const std::uint32_t flags : kToWideFlags) {
      WString wide;
      if (!ToWide(codePage, flags, bytes, wide)) continue;
      const std::string where = Where("to wide", codePage, flags);
      std::string back;
      bool usedDefault = false;
      if (codePage != kCpUtf8) {
        fuzz::Check(wide.size() == bytes.size(), where + "not one unit per byte");
        fuzz::Check(ToBytes(codePage, 0, wide, back, &usedDefault) && back == bytes &&
                        !usedDefault,
                    where + "bytes do not come back");
      } else if (flags == kMbErrInvalidChars) {
        fuzz::Check(ToBytes(codePage, 0, wide, back) && back == bytes,
                    where + "valid UTF-8 does not come back");
      } else {
        WString again;
        fuzz::Check(IsWellFormed(wide) && ToBytes(codePage, 0, wide, back) &&
                        ToWide(codePage, 0, back, again) && again == wide,
                    where + "decoded text does not survive UTF-8");
      }
    }
  }
}

// Text out and back in.
void CheckText(const WString& text) {
  for (const std::uint32_t codePage : kCodePages) {
    for (const std::uint32_t flags : kToBytesFlags) {
      std::string bytes;
      const bool converted = ToBytes(codePage, flags, text, bytes);
      const std::string where = Where("to bytes", codePage, flags);
      if (codePage == kCpUtf8 && flags == kWcErrInvalidChars) {
        fuzz::Check(converted == IsWellFormed(text), where + "wrong judgement of the text");
      }
      if (!converted) continue;
      if (codePage != kCpUtf8) {
        const bool composing = (flags & kWcCompositeCheck) != 0;
        fuzz::Check(composing ? bytes.size() <= text.size() : bytes.size() == text.size(),
                    where + "not one byte per unit");
      } else if (IsWellFormed(text)) {
        WString back;
        fuzz::Check(ToWide(codePage, kMbErrInvalidChars, bytes, back) && back == text,
                    where + "well-formed text does not come back");
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::Bytes(data, size, kMaxBytes);
  if (bytes.empty()) return 0;
  CheckBytes(bytes);
  // The same bytes as UTF-16 LE units: every unit value, lone surrogates included.
  WString text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                         static_cast<std::uint8_t>(bytes[i + 1]) << 8));
  }
  if (!text.empty()) CheckText(text);
  return 0;
}
