#include "search/search_context.h"

namespace {

constexpr float kDefaultMaxMatchDifference = 1.0f;

}  // namespace

float search::SearchContext::MaxMatchDifference() const {
  float threshold = kDefaultMaxMatchDifference;
  if (hostCallback != nullptr) hostCallback->QueryValue(u"MaxMatchDifference", &threshold);
  return threshold;
}
