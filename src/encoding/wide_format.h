// printf-style formatting of wide text, standing in for the platform's wide formatting
// (swprintf). Arguments are passed type-safely and then consumed in format order:
//   %[flags][width][.precision][length]conversion
// flags "-+ 0#", width and precision as numbers or "*", length h/l/ll/I64/z ignored,
// conversions d i u x X o c s S p %. "%s" takes wide text (const char16_t* or WString), or
// narrow text. A conversion without its argument, or of the wrong kind, writes nothing for
// that conversion. Never throws apart from std::bad_alloc.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

#include "tunewell/wstring.h"

namespace encoding {

class FormatArg {
 public:
  enum class Kind { Signed, Unsigned, Floating, Wide, Narrow, Pointer };

  template <class T>
    requires std::is_integral_v<T>
  FormatArg(T v)  // NOLINT: implicit by design
      : kind_(std::is_signed_v<T> ? Kind::Signed : Kind::Unsigned) {
    if constexpr (std::is_signed_v<T>) signed_ = v; else unsigned_ = v;
    size_ = sizeof(T);
  }
  FormatArg(double v) : kind_(Kind::Floating), floating_(v) {}                  // NOLINT
  FormatArg(const char16_t* v) : kind_(Kind::Wide), wide_(v ? v : u"(null)") {}  // NOLINT
  FormatArg(const WString& v) : kind_(Kind::Wide), wide_(v.c_str()) {}          // NOLINT
  FormatArg(const char* v) : kind_(Kind::Narrow), narrow_(v ? v : "(null)") {}   // NOLINT
  FormatArg(const void* v) : kind_(Kind::Pointer), pointer_(v) {}               // NOLINT

  Kind kind() const { return kind_; }
  std::int64_t AsSigned() const;
  std::uint64_t AsUnsigned() const;
  int size() const { return size_; }
  double floating() const { return floating_; }
  const char16_t* wide() const { return wide_; }
  const char* narrow() const { return narrow_; }
  const void* pointer() const { return pointer_; }

 private:
  Kind kind_;
  int size_ = 8;
  union {
    std::int64_t signed_;
    std::uint64_t unsigned_;
    double floating_;
    const char16_t* wide_;
    const char* narrow_;
    const void* pointer_;
  };
};

WString FormatWide(const char16_t* format, std::initializer_list<FormatArg> args);

template <class... Args>
WString Format(const char16_t* format, const Args&... args) {
  return FormatWide(format, {FormatArg(args)...});
}

}  // namespace encoding
