// The only file that includes Boost.Regex: it costs seconds of compile time per file.
#include "text/regex_search.h"

#include <boost/regex.hpp>

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>

#include "diag/trace_log.h"
#include "text/ansi_trace.h"

namespace {

using Iterator = std::wstring::const_iterator;

// Characters of the stored text quoted in a matching error.
constexpr std::size_t kExcerptLength = 50;

// One wchar_t per UTF-16 code unit, so that matching is per code unit as on a platform with a
// 16-bit wchar_t.
std::wstring Widen(const WString& text) { return std::wstring(text.begin(), text.end()); }

WString Narrow(Iterator first, Iterator last) {
  WString out;
  out.reserve(static_cast<std::size_t>(last - first));
  for (; first != last; ++first) out.push_back(static_cast<char16_t>(*first));
  return out;
}

}  // namespace

struct CRegexSearch::Impl {
  boost::wregex expression;
  boost::match_results<Iterator> match;
  std::wstring text;
  boost::match_flag_type flags = boost::match_default;
  // Where the next search starts; text.size() + 1 once a zero-length match at the very end
  // has been found, so that the walk is over.
  std::size_t position = 0;

  std::string Excerpt() const {
    const std::size_t length = std::min(text.size(), kExcerptLength);
    return text::ToThreadAnsi(
        Narrow(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length)));
  }
};

CRegexSearch::CRegexSearch() : impl_(std::make_unique<Impl>()) {}

CRegexSearch::~CRegexSearch() = default;

bool CRegexSearch::Init(const WString& text, const WString& pattern, bool caseSensitive) {
  Impl& s = *impl_;
  s.text.clear();
  // The current match points into the stored text: it goes with it, so that no group can be
  // read from a text that is gone.
  s.match = boost::match_results<Iterator>();
  if (text.empty()) {
    text::TraceAnsi(CTraceLog::Warning, "Input string is empty");
    return false;
  }
  const auto syntax =
      caseSensitive ? boost::regex_constants::perl : boost::regex_constants::perl | boost::regex_constants::icase;
  try {
    s.expression.assign(Widen(pattern), syntax);
  } catch (const boost::regex_error& e) {
    text::TraceAnsi(CTraceLog::Error,
                    "Invalid Regex: " + text::ToThreadAnsi(pattern) +
                        "\n\t=> caught bad_expression exception: what=" + e.what());
    return false;
  } catch (const std::exception& e) {
    text::TraceAnsi(CTraceLog::Error, "Invalid Regex: " + text::ToThreadAnsi(pattern) +
                                          "\n\t=> caught generic exception: what=" + e.what());
    return false;
  }
  if (s.expression.empty() || s.expression.status() != 0) {
    text::TraceAnsi(CTraceLog::Error, "Regex is EMPTY: " + text::ToThreadAnsi(pattern));
    return false;
  }
  s.text = Widen(text);
  s.position = 0;
  s.flags = boost::match_default;
  return true;
}

bool CRegexSearch::FindNext() {
  Impl& s = *impl_;
  if (s.text.empty()) {
    text::TraceAnsi(CTraceLog::Error, "NOT initialized (string to match is empty)");
    return false;
  }
  if (s.position > s.text.size()) return false;
  const Iterator first = s.text.cbegin() + static_cast<std::ptrdiff_t>(s.position);
  boost::match_results<Iterator> found;
  try {
    if (!boost::regex_search(first, s.text.cend(), found, s.expression, s.flags, first)) {
      return false;
    }
  } catch (const std::runtime_error& e) {
    text::TraceAnsi(CTraceLog::Error, "String too complex for regexp matching: " + s.Excerpt() +
                                          "...\n\t=> caught runtime_error: what=" + e.what());
    return false;
  } catch (const std::exception& e) {
    text::TraceAnsi(CTraceLog::Error, "Regex matching for string: " + s.Excerpt() +
                                          "...\n\t=> caught generic exception: what=" + e.what());
    return false;
  }
  s.match = std::move(found);
  const auto end = static_cast<std::size_t>(s.match[0].second - s.text.cbegin());
  s.position = s.match[0].length() == 0 ? end + 1 : end;
  s.flags |= boost::match_prev_avail | boost::match_not_bob;
  return true;
}

bool CRegexSearch::Search(const WString& text, const WString& pattern, bool caseSensitive) {
  return Init(text, pattern, caseSensitive) && FindNext();
}

std::uint32_t CRegexSearch::GetGroupCount() const {
  return static_cast<std::uint32_t>(impl_->match.size());
}

bool CRegexSearch::GetGroup(std::uint32_t index, WString& text) const {
  const std::uint32_t count = GetGroupCount();
  if (index >= count) {
    text::TraceAnsi(CTraceLog::Error, "Match index out of bounds: " + std::to_string(index) +
                                          " >= " + std::to_string(count));
    return false;
  }
  const auto& group = impl_->match[static_cast<int>(index)];
  text = group.matched ? Narrow(group.first, group.second) : WString();
  return true;
}
