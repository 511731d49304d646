// CRegexSearch: the one way the plug-in applies a regular expression to text. It compiles a
// wide pattern (Perl syntax, optionally case-insensitive), keeps its own copy of the text,
// walks the matches from left to right and hands out the text of numbered groups of the
// current match. Matching is per UTF-16 code unit (surrogates are never paired).
//
// Nothing thrown by the regular-expression library leaves this class: every error is caught
// where it happens, written to the trace log with the library's own explanation after "what=",
// and turned into a false result, so to a caller an error looks like the absence of a further
// match. The object stays usable after every failure.
//
// The object belongs to the operation that created it and is used on that thread only; it is
// not copyable. The compiled expression and the match live behind a private implementation so
// that only regex_search.cpp sees the library.
#pragma once

#include <cstdint>
#include <memory>

#include "tunewell/wstring.h"

class CRegexSearch {
 public:
  CRegexSearch();
  ~CRegexSearch();
  CRegexSearch(const CRegexSearch&) = delete;
  CRegexSearch& operator=(const CRegexSearch&) = delete;

  // Compiles pattern, stores a copy of text and puts the search at its start. Clears the
  // stored text and the current match first, so a failed Init leaves no text to search.
  // False, with one trace line, when text is empty ("Input string is empty", Warning), when
  // the library rejects the pattern ("Invalid Regex: <pattern>\n\t=> caught bad_expression
  // exception: what=<text>", or "... caught generic exception: what=<text>", Error), or when
  // the compiled expression is empty ("Regex is EMPTY: <pattern>", Error).
  bool Init(const WString& text, const WString& pattern, bool caseSensitive);

  // Searches on from the end of the previous match. True when a match was found: its groups
  // are then readable. False when there is none, without a trace line; false with an Error
  // trace line when no text is stored ("NOT initialized (string to match is empty)") or when
  // matching fails ("String too complex for regexp matching: <first 50 characters>...\n\t=>
  // caught runtime_error: what=<text>", or "Regex matching for string: ... caught generic
  // exception: what=<text>"). A false result leaves position and flags as they were, so a
  // repeated call repeats the same search. After a zero-length match the next search starts
  // one code unit further on, so a loop over FindNext always ends.
  bool FindNext();

  // Init, then FindNext when Init succeeded; false when either is false.
  bool Search(const WString& text, const WString& pattern, bool caseSensitive);

  // Entries of the current match: 0 before any match, else 1 + the marked sub-expressions.
  std::uint32_t GetGroupCount() const;

  // Copies group index of the current match (0: the whole match) into text; a group that took
  // no part in the match gives the empty text. False, with "Match index out of bounds:
  // <index> >= <count>" at Error and text untouched, when index is not below GetGroupCount().
  bool GetGroup(std::uint32_t index, WString& text) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
