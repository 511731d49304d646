#include "encoding/wide_format.h"

#include <cstdio>
#include <string>

namespace encoding {

std::int64_t FormatArg::AsSigned() const {
  switch (kind_) {
    case Kind::Signed: return signed_;
    case Kind::Unsigned: return static_cast<std::int64_t>(unsigned_);
    case Kind::Floating: return static_cast<std::int64_t>(floating_);
    default: return 0;
  }
}

std::uint64_t FormatArg::AsUnsigned() const {
  switch (kind_) {
    case Kind::Signed:
      // A negative int printed with %u or %X shows its 32-bit pattern, as printf does.
      return size_ <= 4 ? static_cast<std::uint32_t>(signed_) : static_cast<std::uint64_t>(signed_);
    case Kind::Unsigned: return unsigned_;
    case Kind::Pointer: return reinterpret_cast<std::uintptr_t>(pointer_);
    default: return 0;
  }
}

namespace {

struct Directive {
  bool left = false, plus = false, space = false, zero = false, alt = false;
  int width = 0;
  int precision = -1;
  char16_t conversion = 0;
};

class Formatter {
 public:
  Formatter(const char16_t* format, std::initializer_list<FormatArg> args)
      : p_(format), next_(args.begin()), end_(args.end()) {}

  WString Run() {
    while (*p_ != 0) {
      if (*p_ != u'%') {
        out_ += *p_++;
        continue;
      }
      ++p_;
      if (*p_ == u'%') {
        out_ += *p_++;
        continue;
      }
      Directive directive = ParseDirective();
      if (directive.conversion == 0) break;  // format ends inside a conversion
      Convert(directive);
    }
    return std::move(out_);
  }

 private:
  const FormatArg* NextArg() { return next_ == end_ ? nullptr : next_++; }

  int NumberOrStar() {
    if (*p_ == u'*') {
      ++p_;
      const FormatArg* arg = NextArg();
      return arg ? static_cast<int>(arg->AsSigned()) : 0;
    }
    int n = 0;
    while (*p_ >= u'0' && *p_ <= u'9') n = n * 10 + (*p_++ - u'0');
    return n;
  }

  Directive ParseDirective() {
    Directive directive;
    for (;; ++p_) {
      if (*p_ == u'-') directive.left = true;
      else if (*p_ == u'+') directive.plus = true;
      else if (*p_ == u' ') directive.space = true;
      else if (*p_ == u'0') directive.zero = true;
      else if (*p_ == u'#') directive.alt = true;
      else break;
    }
    directive.width = NumberOrStar();
    if (directive.width < 0) {
      directive.left = true;
      directive.width = -directive.width;
    }
    if (*p_ == u'.') {
      ++p_;
      directive.precision = NumberOrStar();
    }
    // Length modifiers carry no information here: arguments know their own size.
    for (;;) {
      if (*p_ == u'h' || *p_ == u'l' || *p_ == u'z' || *p_ == u'j' || *p_ == u't' || *p_ == u'L') {
        ++p_;
      } else if (p_[0] == u'I' && p_[1] == u'6' && p_[2] == u'4') {
        p_ += 3;
      } else if (p_[0] == u'I' && p_[1] == u'3' && p_[2] == u'2') {
        p_ += 3;
      } else {
        break;
      }
    }
    if (*p_ != 0) directive.conversion = *p_++;
    return directive;
  }

  void Pad(const WString& body, const Directive& directive, bool numeric) {
    const int fill = directive.width - static_cast<int>(body.size());
    if (fill <= 0) {
      out_ += body;
    } else if (directive.left) {
      out_ += body;
      out_.append(static_cast<std::size_t>(fill), u' ');
    } else if (numeric && directive.zero && directive.precision < 0) {
      // Zeros go after the sign or prefix.
      std::size_t lead = 0;
      if (!body.empty() && (body[0] == u'-' || body[0] == u'+' || body[0] == u' ')) lead = 1;
      if (body.size() >= lead + 2 && body[lead] == u'0' &&
          (body[lead + 1] == u'x' || body[lead + 1] == u'X')) {
        lead += 2;
      }
      out_ += body.substr(0, lead);
      out_.append(static_cast<std::size_t>(fill), u'0');
      out_ += body.substr(lead);
    } else {
      out_.append(static_cast<std::size_t>(fill), u' ');
      out_ += body;
    }
  }

  static WString Digits(std::uint64_t value, unsigned base, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    WString text;
    do {
      text.insert(text.begin(), static_cast<char16_t>(digits[value % base]));
      value /= base;
    } while (value != 0);
    return text;
  }

  void Integer(const Directive& directive, const FormatArg& arg) {
    const char16_t c = directive.conversion;
    const bool isSigned = (c == u'd' || c == u'i');
    bool negative = false;
    std::uint64_t magnitude;
    if (isSigned) {
      std::int64_t v = arg.AsSigned();
      if (arg.kind() == FormatArg::Kind::Signed && arg.size() <= 4) v = static_cast<std::int32_t>(v);
      negative = v < 0;
      magnitude = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    } else {
      magnitude = arg.AsUnsigned();
    }
    const unsigned base = (c == u'x' || c == u'X' || c == u'p') ? 16 : (c == u'o' ? 8 : 10);
    WString digits = Digits(magnitude, base, c == u'X' || c == u'p');
    if (directive.precision == 0 && magnitude == 0) digits.clear();
    if (directive.precision > static_cast<int>(digits.size())) {
      digits.insert(0, static_cast<std::size_t>(directive.precision) - digits.size(), u'0');
    }
    if (c == u'p') {
      if (digits.size() < 2 * sizeof(void*)) digits.insert(0, 2 * sizeof(void*) - digits.size(), u'0');
    }
    WString sign;
    if (negative) sign = u"-";
    else if (isSigned && directive.plus) sign = u"+";
    else if (isSigned && directive.space) sign = u" ";
    if (directive.alt && magnitude != 0 && (c == u'x' || c == u'X')) sign += c == u'x' ? u"0x" : u"0X";
    if (directive.alt && c == u'o' && (digits.empty() || digits[0] != u'0')) digits.insert(0, 1, u'0');
    Pad(sign + digits, directive, true);
  }

  void Floating(const Directive& directive, const FormatArg& arg) {
    char format[16] = "%";
    std::size_t n = 1;
    if (directive.plus) format[n++] = '+';
    if (directive.space) format[n++] = ' ';
    if (directive.alt) format[n++] = '#';
    format[n++] = '.';
    format[n++] = '*';
    format[n++] = static_cast<char>(directive.conversion);
    format[n] = 0;
    const int precision = directive.precision < 0 ? 6 : directive.precision;
    char buffer[512];
    const int written = std::snprintf(buffer, sizeof buffer, format, precision, arg.floating());
    WString body;
    for (int i = 0; i < written && i < static_cast<int>(sizeof buffer) - 1; ++i) body += static_cast<char16_t>(buffer[i]);
    Pad(body, directive, true);
  }

  void Text(const Directive& directive, const FormatArg& arg) {
    WString body;
    if (arg.kind() == FormatArg::Kind::Wide) {
      body = arg.wide();
    } else {
      for (const char* s = arg.narrow(); *s != 0; ++s) body += static_cast<char16_t>(static_cast<unsigned char>(*s));
    }
    if (directive.precision >= 0 && body.size() > static_cast<std::size_t>(directive.precision)) {
      body.resize(static_cast<std::size_t>(directive.precision));
    }
    Pad(body, directive, false);
  }

  void Convert(const Directive& directive) {
    const FormatArg* arg = NextArg();
    if (arg == nullptr) return;
    using Kind = FormatArg::Kind;
    switch (directive.conversion) {
      case u'd': case u'i': case u'u': case u'x': case u'X': case u'o':
        if (arg->kind() == Kind::Signed || arg->kind() == Kind::Unsigned) Integer(directive, *arg);
        break;
      case u'p':
        if (arg->kind() == Kind::Pointer) Integer(directive, *arg);
        break;
      case u'c': case u'C':
        if (arg->kind() == Kind::Signed || arg->kind() == Kind::Unsigned) {
          Pad(WString(1, static_cast<char16_t>(arg->AsUnsigned())), directive, false);
        }
        break;
      case u's': case u'S':
        if (arg->kind() == Kind::Wide || arg->kind() == Kind::Narrow) Text(directive, *arg);
        break;
      case u'f': case u'F': case u'e': case u'E': case u'g': case u'G':
        if (arg->kind() == Kind::Floating) Floating(directive, *arg);
        break;
      default:
        break;
    }
  }

  const char16_t* p_;
  const FormatArg* next_;
  const FormatArg* end_;
  WString out_;
};

}  // namespace

WString FormatWide(const char16_t* format, std::initializer_list<FormatArg> args) {
  if (format == nullptr) return {};
  return Formatter(format, args).Run();
}

}  // namespace encoding
