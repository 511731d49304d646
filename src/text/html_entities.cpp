#include "text/html_entities.h"

#include <climits>
#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>

#include "diag/trace_log.h"
#include "text/ansi_trace.h"
#include "text/regex_search.h"

// The HTML 4.01 list; see the header for the order.
const text::HtmlEntity text::HtmlEntityTable[text::kHtmlEntityCount + 1] = {
    {"&nbsp;", 32},     {"&quot;", 34},      {"&apos;", 39},     {"&lt;", 60},
    {"&gt;", 62},       {"&iexcl;", 161},    {"&cent;", 162},    {"&pound;", 163},
    {"&curren;", 164},  {"&yen;", 165},      {"&brvbar;", 166},  {"&sect;", 167},
    {"&uml;", 168},     {"&copy;", 169},     {"&ordf;", 170},    {"&laquo;", 171},
    {"&not;", 172},     {"&shy;", 173},      {"&reg;", 174},     {"&macr;", 175},
    {"&deg;", 176},     {"&plusmn;", 177},   {"&sup2;", 178},    {"&sup3;", 179},
    {"&acute;", 180},   {"&micro;", 181},    {"&para;", 182},    {"&middot;", 183},
    {"&cedil;", 184},   {"&sup1;", 185},     {"&ordm;", 186},    {"&raquo;", 187},
    {"&frac14;", 188},  {"&frac12;", 189},   {"&frac34;", 190},  {"&iquest;", 191},
    {"&Agrave;", 192},  {"&Aacute;", 193},   {"&Acirc;", 194},   {"&Atilde;", 195},
    {"&Auml;", 196},    {"&Aring;", 197},    {"&AElig;", 198},   {"&Ccedil;", 199},
    {"&Egrave;", 200},  {"&Eacute;", 201},   {"&Ecirc;", 202},   {"&Euml;", 203},
    {"&Igrave;", 204},  {"&Iacute;", 205},   {"&Icirc;", 206},   {"&Iuml;", 207},
    {"&ETH;", 208},     {"&Ntilde;", 209},   {"&Ograve;", 210},  {"&Oacute;", 211},
    {"&Ocirc;", 212},   {"&Otilde;", 213},   {"&Ouml;", 214},    {"&times;", 215},
    {"&Oslash;", 216},  {"&Ugrave;", 217},   {"&Uacute;", 218},  {"&Ucirc;", 219},
    {"&Uuml;", 220},    {"&Yacute;", 221},   {"&THORN;", 222},   {"&szlig;", 223},
    {"&agrave;", 224},  {"&aacute;", 225},   {"&acirc;", 226},   {"&atilde;", 227},
    {"&auml;", 228},    {"&aring;", 229},    {"&aelig;", 230},   {"&ccedil;", 231},
    {"&egrave;", 232},  {"&eacute;", 233},   {"&ecirc;", 234},   {"&euml;", 235},
    {"&igrave;", 236},  {"&iacute;", 237},   {"&icirc;", 238},   {"&iuml;", 239},
    {"&eth;", 240},     {"&ntilde;", 241},   {"&ograve;", 242},  {"&oacute;", 243},
    {"&ocirc;", 244},   {"&otilde;", 245},   {"&ouml;", 246},    {"&divide;", 247},
    {"&oslash;", 248},  {"&ugrave;", 249},   {"&uacute;", 250},  {"&ucirc;", 251},
    {"&uuml;", 252},    {"&yacute;", 253},   {"&thorn;", 254},   {"&yuml;", 255},
    {"&OElig;", 338},   {"&oelig;", 339},    {"&Scaron;", 352},  {"&scaron;", 353},
    {"&Yuml;", 376},    {"&fnof;", 402},     {"&circ;", 710},    {"&tilde;", 732},
    {"&Alpha;", 913},   {"&Beta;", 914},     {"&Gamma;", 915},   {"&Delta;", 916},
    {"&Epsilon;", 917}, {"&Zeta;", 918},     {"&Eta;", 919},     {"&Theta;", 920},
    {"&Iota;", 921},    {"&Kappa;", 922},    {"&Lambda;", 923},  {"&Mu;", 924},
    {"&Nu;", 925},      {"&Xi;", 926},       {"&Omicron;", 927}, {"&Pi;", 928},
    {"&Rho;", 929},     {"&Sigma;", 931},    {"&Tau;", 932},     {"&Upsilon;", 933},
    {"&Phi;", 934},     {"&Chi;", 935},      {"&Psi;", 936},     {"&Omega;", 937},
    {"&alpha;", 945},   {"&beta;", 946},     {"&gamma;", 947},   {"&delta;", 948},
    {"&epsilon;", 949}, {"&zeta;", 950},     {"&eta;", 951},     {"&theta;", 952},
    {"&iota;", 953},    {"&kappa;", 954},    {"&lambda;", 955},  {"&mu;", 956},
    {"&nu;", 957},      {"&xi;", 958},       {"&omicron;", 959}, {"&pi;", 960},
    {"&rho;", 961},     {"&sigmaf;", 962},   {"&sigma;", 963},   {"&tau;", 964},
    {"&upsilon;", 965}, {"&phi;", 966},      {"&chi;", 967},     {"&psi;", 968},
    {"&omega;", 969},   {"&thetasym;", 977}, {"&upsih;", 978},   {"&piv;", 982},
    {"&ensp;", 8194},   {"&emsp;", 8195},    {"&thinsp;", 8201}, {"&zwnj;", 8204},
    {"&zwj;", 8205},    {"&lrm;", 8206},     {"&rlm;", 8207},    {"&ndash;", 8211},
    {"&mdash;", 8212},  {"&lsquo;", 8216},   {"&rsquo;", 8217},  {"&sbquo;", 8218},
    {"&ldquo;", 8220},  {"&rdquo;", 8221},   {"&bdquo;", 8222},  {"&dagger;", 8224},
    {"&Dagger;", 8225}, {"&bull;", 8226},    {"&hellip;", 8230}, {"&permil;", 8240},
    {"&prime;", 8242},  {"&Prime;", 8243},   {"&lsaquo;", 8249}, {"&rsaquo;", 8250},
    {"&oline;", 8254},  {"&frasl;", 8260},   {"&euro;", 8364},   {"&image;", 8465},
    {"&weierp;", 8472}, {"&real;", 8476},    {"&trade;", 8482},  {"&alefsym;", 8501},
    {"&larr;", 8592},   {"&uarr;", 8593},    {"&rarr;", 8594},   {"&darr;", 8595},
    {"&harr;", 8596},   {"&crarr;", 8629},   {"&lArr;", 8656},   {"&uArr;", 8657},
    {"&rArr;", 8658},   {"&dArr;", 8659},    {"&hArr;", 8660},   {"&forall;", 8704},
    {"&part;", 8706},   {"&exist;", 8707},   {"&empty;", 8709},  {"&nabla;", 8711},
    {"&isin;", 8712},   {"&notin;", 8713},   {"&ni;", 8715},     {"&prod;", 8719},
    {"&sum;", 8721},    {"&minus;", 8722},   {"&lowast;", 8727}, {"&radic;", 8730},
    {"&prop;", 8733},   {"&infin;", 8734},   {"&ang;", 8736},    {"&and;", 8743},
    {"&or;", 8744},     {"&cap;", 8745},     {"&cup;", 8746},    {"&int;", 8747},
    {"&there4;", 8756}, {"&sim;", 8764},     {"&cong;", 8773},   {"&asymp;", 8776},
    {"&ne;", 8800},     {"&equiv;", 8801},   {"&le;", 8804},     {"&ge;", 8805},
    {"&sub;", 8834},    {"&sup;", 8835},     {"&nsub;", 8836},   {"&sube;", 8838},
    {"&supe;", 8839},   {"&oplus;", 8853},   {"&otimes;", 8855}, {"&perp;", 8869},
    {"&sdot;", 8901},   {"&lceil;", 8968},   {"&rceil;", 8969},  {"&lfloor;", 8970},
    {"&rfloor;", 8971}, {"&lang;", 9001},    {"&rang;", 9002},   {"&loz;", 9674},
    {"&spades;", 9824}, {"&clubs;", 9827},   {"&hearts;", 9829}, {"&diams;", 9830},
    {"&amp;", 38},      {nullptr, 0},
};

namespace {

// The longest name, "&thetasym;", has 8 letters between "&" and ";".
constexpr std::size_t kLongestName = 8;

bool IsAsciiAlphanumeric(char16_t ch) {
  return (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') || (ch >= u'0' && ch <= u'9');
}

bool IsDigit(char16_t ch) { return ch >= u'0' && ch <= u'9'; }

const std::unordered_map<WString, char16_t>& NamedCodes() {
  static const std::unordered_map<WString, char16_t> codes = [] {
    std::unordered_map<WString, char16_t> map;
    for (const text::HtmlEntity* e = text::HtmlEntityTable; e->name != nullptr; ++e) {
      map.emplace(WString(e->name, e->name + std::char_traits<char>::length(e->name)),
                  static_cast<char16_t>(e->code));
    }
    return map;
  }();
  return codes;
}

// The code of the named reference that starts at text[amp], and where it ends; 0 for none.
char16_t NamedReferenceAt(const WString& text, std::size_t amp, std::size_t& end) {
  std::size_t i = amp + 1;
  while (i < text.size() && i - amp <= kLongestName && IsAsciiAlphanumeric(text[i])) ++i;
  if (i >= text.size() || text[i] != u';') return 0;
  const auto found = NamedCodes().find(text.substr(amp, i - amp + 1));
  if (found == NamedCodes().end()) return 0;
  end = i + 1;
  return found->second;
}

// Decimal digits as a signed 32-bit number; too large a number gives the largest value.
int DecimalValue(const char16_t* digits, std::size_t count) {
  std::int64_t value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    value = value * 10 + (digits[i] - u'0');
    if (value > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(value);
}

// The decimal pass over an output that grows one unit at a time: whenever it ends in ";", the
// reference that ends there (if any) is replaced at once, and the unit it produces is looked
// at in turn. Replacements only ever change the end of the output, so what lies before a
// reference is final when the reference is found. Since two references can never overlap,
// every order of replacement ends in the same text: this one needs a single pass.
class DecimalDecoder {
 public:
  explicit DecimalDecoder(const WString& text) : text_(text) { out_.reserve(text.size()); }

  WString Run() {
    for (next_ = 0; next_ < text_.size();) {
      out_.push_back(text_[next_++]);
      while (out_.back() == u';' && ReplaceReferenceAtEnd()) {
      }
    }
    return std::move(out_);
  }

 private:
  // Replaces "&#digits;" at the end of the output; false when there is none or it is bad.
  bool ReplaceReferenceAtEnd() {
    std::size_t start = out_.size() - 1;  // at the ";"
    while (start > 0 && IsDigit(out_[start - 1])) --start;
    const std::size_t digits = out_.size() - 1 - start;
    if (digits == 0 || start < 2 || out_[start - 1] != u'#' || out_[start - 2] != u'&') {
      return false;
    }
    const int value = DecimalValue(out_.data() + start, digits);
    start -= 2;
    if (value < 1 || value > 0xFFFF) {
      Report(out_.substr(start), value);
      return false;
    }
    decoded_.emplace(out_.substr(start), static_cast<char16_t>(value));
    out_.resize(start);
    out_.push_back(static_cast<char16_t>(value));
    return true;
  }

  void Report(const WString& reference, int value) {
    if (reports_ >= text::kMaxBadReferenceReports || !reported_.insert(reference).second) return;
    ++reports_;
    const WString current = out_ + TextToTheRightAsReplaced();
    text::TraceAnsi(CTraceLog::Error, "Bad &#nnn; code: \"" + text::ToThreadAnsi(reference) +
                                          "\" => " + std::to_string(value) + " ; string is:\n\t\"" +
                                          text::ToThreadAnsi(current) + "\"");
  }

  // What is still to be read, as the literal procedure has it when it meets a bad reference:
  // it has replaced each form decoded so far everywhere, to the right as well. One pass over
  // the rest replaces those forms, and the ones such replacements form.
  WString TextToTheRightAsReplaced() const {
    WString rest;
    rest.reserve(text_.size() - next_);
    for (std::size_t i = next_; i < text_.size(); ++i) {
      rest.push_back(text_[i]);
      while (rest.back() == u';' && ReplaceDecodedFormAtEnd(rest)) {
      }
    }
    return rest;
  }

  bool ReplaceDecodedFormAtEnd(WString& text) const {
    const std::size_t amp = text.rfind(u'&');
    if (amp == WString::npos) return false;
    const auto found = decoded_.find(text.substr(amp));
    if (found == decoded_.end()) return false;
    text.resize(amp);
    text.push_back(found->second);
    return true;
  }

  const WString& text_;
  WString out_;
  std::size_t next_ = 0;
  std::unordered_map<WString, char16_t> decoded_;  // each form replaced so far, with its unit
  std::set<WString> reported_;
  int reports_ = 0;
};

}  // namespace

void text::DecodeNamedReferences(WString& text) {
  std::size_t amp = text.find(u'&');
  if (amp == WString::npos) return;
  WString out;
  out.reserve(text.size());
  std::size_t copied = 0;
  while (amp != WString::npos) {
    std::size_t end = 0;
    const char16_t code = NamedReferenceAt(text, amp, end);
    if (code == 0) {
      amp = text.find(u'&', amp + 1);
      continue;
    }
    out.append(text, copied, amp - copied);
    out.push_back(code);
    copied = end;
    amp = text.find(u'&', copied);
  }
  out.append(text, copied);
  text.swap(out);
}

void text::DecodeDecimalReferences(WString& text) {
  // One search decides whether there is anything to do; it also reports an empty text.
  CRegexSearch search;
  if (!search.Search(text, u"&#([0-9]+);", true)) return;
  text = DecimalDecoder(text).Run();
}

void text::DecodeHtmlEntities(WString& text) {
  DecodeNamedReferences(text);
  DecodeDecimalReferences(text);
}
