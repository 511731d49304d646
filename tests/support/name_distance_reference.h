// The name distance computed the slow, literal way: a full matrix, one row array per row, the
// upper-case mapping applied at every cell and both names rescanned for bracket pairs at every
// cell whose characters differ. CNameDistance::Distance must give bit for bit the same result;
// the unit tests check that and the benchmark measures the gap. Header-only so that tests and
// benchmarks share it without putting it in the library. Any thread; never fails.
#pragma once

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/case_map.h"
#include "search/name_distance.h"

inline float LiteralNameDistance(const CNameDistance& measure, const char16_t* first,
                                 const char16_t* second) {
  const WString s(search::TrimName(first ? first : u""));
  const WString t(search::TrimName(second ? second : u""));
  const std::size_t n = s.size();
  const std::size_t m = t.size();
  std::vector<std::unique_ptr<float[]>> cell(n + 1);
  for (auto& row : cell) row = std::make_unique<float[]>(m + 1);
  cell[0][0] = 0.0f;
  for (std::size_t i = 1; i <= n; ++i) {
    cell[i][0] = cell[i - 1][0] + CNameDistance::CharCost(s[i - 1], 0);
  }
  for (std::size_t j = 1; j <= m; ++j) {
    cell[0][j] = cell[0][j - 1] + CNameDistance::CharCost(0, t[j - 1]);
  }
  for (std::size_t i = 1; i <= n; ++i) {
    for (std::size_t j = 1; j <= m; ++j) {
      const char16_t a = s[i - 1];
      const char16_t b = t[j - 1];
      const bool same = measure.caseSensitive ? a == b
                                              : platform::ToUpper(a) == platform::ToUpper(b);
      float replace = 0.0f;
      bool inside = false;
      if (!same) {
        replace = CNameDistance::CharCost(a, b);
        inside = CNameDistance::InBrackets(s, t, i - 1, j - 1);
        if (inside) replace *= measure.bracketFactor;
      }
      float remove = CNameDistance::CharCost(a, 0);
      float insert = CNameDistance::CharCost(0, b);
      if (inside) {
        remove *= measure.bracketFactor;
        insert *= measure.bracketFactor;
      }
      cell[i][j] = std::min({cell[i - 1][j - 1] + replace, cell[i - 1][j] + remove,
                             cell[i][j - 1] + insert});
    }
  }
  return cell[n][m];
}
