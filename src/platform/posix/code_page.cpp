// MultiByteToWideChar / WideCharToMultiByte over ICU converters. ICU does the tables; this file
// adds what Windows does differently: the argument checks and error numbers, one default
// character per unmappable UTF-16 code unit, "?" as the default default character, U+FFFD for
// ill-formed input, the composite check, and the ANSI code page setting.
#include "platform/code_page.h"

#include <dlfcn.h>

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unicode/unorm2.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>

#include "platform/system_error.h"

namespace platform {
namespace {

constexpr std::uint32_t kErrorInvalidFlags = 1004;  // ERROR_INVALID_FLAGS
constexpr std::uint32_t kCpUtf7 = 65000;

std::atomic<std::uint32_t> ansiCodePage{kCpUtf8};

struct ConverterCloser {
  void operator()(UConverter* cnv) const { ucnv_close(cnv); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

std::uint32_t ResolveCodePage(std::uint32_t codePage) {
  return codePage == kCpAcp || codePage == kCpThreadAcp ? GetAnsiCodePage() : codePage;
}

// The flags Windows accepts for a code page, as far as this layer implements them.
std::uint32_t AllowedToWideFlags(std::uint32_t codePage) {
  if (codePage == kCpUtf8) return kMbErrInvalidChars;
  if (codePage == kCpUtf7) return 0;
  return kMbPrecomposed;
}

std::uint32_t AllowedToBytesFlags(std::uint32_t codePage) {
  if (codePage == kCpUtf8) return kWcErrInvalidChars;
  if (codePage == kCpUtf7) return 0;
  return kWcSepChars | kWcCompositeCheck | kWcNoBestFitChars;
}

bool IsUnicodeCodePage(std::uint32_t codePage) {
  return codePage == kCpUtf8 || codePage == kCpUtf7;
}

// ICU knows Windows code pages as "windows-<n>", except ISO 8859-1, which opens only by its
// own name. The UTF-16/32 numbers open in ICU but Windows refuses them in these functions.
ConverterPtr OpenConverter(std::uint32_t codePage) {
  static constexpr std::uint32_t kRefused[] = {1200, 1201, 12000, 12001};
  for (std::uint32_t refused : kRefused) {
    if (codePage == refused) return nullptr;
  }
  const std::string name =
      codePage == kCpLatin1 ? std::string("ISO-8859-1") : "windows-" + std::to_string(codePage);
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr cnv(ucnv_open(name.c_str(), &status));
  // "windows-1252" and others open with an ambiguous-alias warning: a success.
  if (U_FAILURE(status)) return nullptr;
  return cnv;
}

int Fail(std::uint32_t code) {
  SetLastErrorCode(code);
  return 0;
}

// ---- bytes to UTF-16 ------------------------------------------------------------------------

struct ToWideContext {
  bool stopOnInvalid = false;
};

// One U+FFFD per piece ICU reports (for UTF-8 that is each maximal ill-formed subpart), or a
// stop when the caller asked for MB_ERR_INVALID_CHARS.
void ToWideCallback(const void* context, UConverterToUnicodeArgs* args, const char*, int32_t,
                    UConverterCallbackReason reason, UErrorCode* status) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to substitute
  if (static_cast<const ToWideContext*>(context)->stopOnInvalid) return;
  *status = U_ZERO_ERROR;
  static const UChar kReplacement = 0xFFFD;
  ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, status);
}

// Converts the whole input; false with the Windows error number on failure.
bool ConvertToWide(UConverter* cnv, const char* src, std::size_t length, WString& out,
                   std::uint32_t& errorCode) {
  out.assign(length + 16, u'\0');
  const char* source = src;
  const char* sourceEnd = src + length;
  std::size_t used = 0;
  for (;;) {
    UChar* target = reinterpret_cast<UChar*>(out.data()) + used;
    UChar* const targetStart = target;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(cnv, &target, reinterpret_cast<UChar*>(out.data()) + out.size(), &source,
                   sourceEnd, nullptr, true, &status);
    used += static_cast<std::size_t>(target - targetStart);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(out.size() * 2);
      continue;
    }
    if (U_FAILURE(status)) {
      errorCode = status == U_MEMORY_ALLOCATION_ERROR ? error::kNotEnoughMemory
                                                      : error::kNoUnicodeTranslation;
      return false;
    }
    out.resize(used);
    return true;
  }
}

// ---- UTF-16 to bytes ------------------------------------------------------------------------

struct ToBytesContext {
  bool stopOnInvalid = false;
  std::string substitute;  // written once per unmappable code unit
  bool usedDefault = false;
};

void ToBytesCallback(const void* context, UConverterFromUnicodeArgs* args, const UChar*,
                     int32_t length, UChar32, UConverterCallbackReason reason,
                     UErrorCode* status) {
  if (reason > UCNV_IRREGULAR) return;
  auto* ctx = static_cast<ToBytesContext*>(const_cast<void*>(context));
  if (ctx->stopOnInvalid) return;
  *status = U_ZERO_ERROR;
  ctx->usedDefault = true;
  // Windows writes a default character for each code unit: two for a surrogate pair.
  for (int32_t i = 0; i < length && U_SUCCESS(*status); ++i) {
    ucnv_cbFromUWriteBytes(args, ctx->substitute.data(),
                           static_cast<int32_t>(ctx->substitute.size()), 0, status);
  }
}

bool ConvertToBytes(UConverter* cnv, const char16_t* src, std::size_t length, std::string& out,
                    std::uint32_t& errorCode) {
  out.assign(length * 2 + 16, '\0');
  const UChar* source = reinterpret_cast<const UChar*>(src);
  const UChar* sourceEnd = source + length;
  std::size_t used = 0;
  for (;;) {
    char* target = out.data() + used;
    char* const targetStart = target;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_fromUnicode(cnv, &target, out.data() + out.size(), &source, sourceEnd, nullptr, true,
                     &status);
    used += static_cast<std::size_t>(target - targetStart);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(out.size() * 2);
      continue;
    }
    if (U_FAILURE(status)) {
      errorCode = status == U_MEMORY_ALLOCATION_ERROR ? error::kNotEnoughMemory
                                                      : error::kNoUnicodeTranslation;
      return false;
    }
    out.resize(used);
    return true;
  }
}

// Whether the code page has an exact mapping for one BMP character.
bool MapsExactly(UConverter* cnv, UChar ch) {
  ucnv_reset(cnv);
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(cnv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  char bytes[8];
  ucnv_fromUChars(cnv, bytes, sizeof bytes, &ch, 1, &status);
  ucnv_reset(cnv);
  return U_SUCCESS(status);
}

// WC_COMPOSITECHECK: a base character followed by nonspacing marks is replaced by the
// precomposed character when the code page has one; marks that do not compose stay separate
// (WC_SEPCHARS).
WString Precompose(UConverter* cnv, const char16_t* src, std::size_t length) {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
  WString out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    out.push_back(src[i]);
    while (U_SUCCESS(status) && i + 1 < length && !U16_IS_SURROGATE(out.back()) &&
           u_charType(src[i + 1]) == U_NON_SPACING_MARK) {
      const UChar32 composed = unorm2_composePair(nfc, out.back(), src[i + 1]);
      if (composed < 0 || composed > 0xFFFF || !MapsExactly(cnv, static_cast<UChar>(composed))) {
        break;
      }
      out.back() = static_cast<char16_t>(composed);
      ++i;
    }
  }
  return out;
}

}  // namespace

namespace {

int WidenLatin1(const char* src, std::size_t length, char16_t* dst, int dstCapacity) {
  if (length > static_cast<std::size_t>(INT32_MAX)) return Fail(error::kNotEnoughMemory);
  const int needed = static_cast<int>(length);
  if (dstCapacity == 0) return needed;
  if (needed > dstCapacity) return Fail(error::kInsufficientBuffer);
  for (std::size_t i = 0; i < length; ++i) dst[i] = static_cast<unsigned char>(src[i]);
  return needed;
}

}  // namespace

int MultiByteToWide(std::uint32_t codePage, std::uint32_t flags, const char* src, int srcLength,
                    char16_t* dst, int dstCapacity) {
  if (src == nullptr || srcLength == 0 || srcLength < -1 || dstCapacity < 0 ||
      (dstCapacity > 0 && dst == nullptr)) {
    return Fail(error::kInvalidParameter);
  }
  codePage = ResolveCodePage(codePage);
  const std::size_t length =
      srcLength == -1 ? std::strlen(src) + 1 : static_cast<std::size_t>(srcLength);
  // Every downloaded page is decoded from ISO 8859-1, whose mapping is the identity: widen the
  // bytes directly instead of running them through a converter (twice, size then fill).
  if (codePage == kCpLatin1) {
    if ((flags & ~AllowedToWideFlags(codePage)) != 0) return Fail(kErrorInvalidFlags);
    return WidenLatin1(src, length, dst, dstCapacity);
  }
  ConverterPtr cnv = OpenConverter(codePage);
  if (!cnv) return Fail(error::kInvalidParameter);
  if ((flags & ~AllowedToWideFlags(codePage)) != 0) return Fail(kErrorInvalidFlags);

  ToWideContext context;
  context.stopOnInvalid = (flags & kMbErrInvalidChars) != 0;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setToUCallBack(cnv.get(), ToWideCallback, &context, nullptr, nullptr, &status);

  WString out;
  std::uint32_t errorCode = 0;
  if (!ConvertToWide(cnv.get(), src, length, out, errorCode)) return Fail(errorCode);
  if (out.size() > static_cast<std::size_t>(INT32_MAX)) return Fail(error::kNotEnoughMemory);
  const int needed = static_cast<int>(out.size());
  if (dstCapacity == 0) return needed;
  if (needed > dstCapacity) return Fail(error::kInsufficientBuffer);
  std::memcpy(dst, out.data(), out.size() * sizeof(char16_t));
  return needed;
}

int WideToMultiByte(std::uint32_t codePage, std::uint32_t flags, const char16_t* src,
                    int srcLength, char* dst, int dstCapacity, const char* defaultChar,
                    bool* usedDefault) {
  if (src == nullptr || srcLength == 0 || srcLength < -1 || dstCapacity < 0 ||
      (dstCapacity > 0 && dst == nullptr)) {
    return Fail(error::kInvalidParameter);
  }
  codePage = ResolveCodePage(codePage);
  ConverterPtr cnv = OpenConverter(codePage);
  if (!cnv) return Fail(error::kInvalidParameter);
  if ((flags & ~AllowedToBytesFlags(codePage)) != 0) return Fail(kErrorInvalidFlags);
  const bool unicodePage = IsUnicodeCodePage(codePage);
  if (unicodePage && (defaultChar != nullptr || usedDefault != nullptr)) {
    return Fail(error::kInvalidParameter);
  }

  std::size_t length = 0;
  if (srcLength == -1) {
    while (src[length] != u'\0') ++length;
    ++length;  // the terminator is converted and counted
  } else {
    length = static_cast<std::size_t>(srcLength);
  }
  WString composed;
  if (flags & kWcCompositeCheck) {
    composed = Precompose(cnv.get(), src, length);
    src = composed.data();
    length = composed.size();
  }

  ToBytesContext context;
  context.stopOnInvalid = (flags & kWcErrInvalidChars) != 0;
  if (unicodePage) {
    context.substitute = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
  } else {
    context.substitute.assign(1, defaultChar != nullptr ? defaultChar[0] : '?');
  }
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(cnv.get(), ToBytesCallback, &context, nullptr, nullptr, &status);

  std::string out;
  std::uint32_t errorCode = 0;
  if (!ConvertToBytes(cnv.get(), src, length, out, errorCode)) return Fail(errorCode);
  if (out.size() > static_cast<std::size_t>(INT32_MAX)) return Fail(error::kNotEnoughMemory);
  const int needed = static_cast<int>(out.size());
  if (dstCapacity > 0) {
    if (needed > dstCapacity) return Fail(error::kInsufficientBuffer);
    std::memcpy(dst, out.data(), out.size());
  }
  if (usedDefault != nullptr) *usedDefault = context.usedDefault;
  return needed;
}

std::uint32_t GetAnsiCodePage() { return ansiCodePage.load(std::memory_order_relaxed); }

void SetAnsiCodePage(std::uint32_t codePage) {
  ansiCodePage.store(codePage, std::memory_order_relaxed);
}

std::uint32_t GetThreadAnsiCodePage() { return GetAnsiCodePage(); }

void KeepConversionLibraryLoaded() {
  // ICU keeps converter data in caches of its own for the life of the process. Unloaded with the
  // plug-in, it would take those caches with it, leaking them on every load; kept, they are
  // reused by the next load.
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&ucnv_open), &info) != 0 && info.dli_fname != nullptr) {
    dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
  }
}

}  // namespace platform
