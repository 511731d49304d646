#include "tags/store/field_codec.h"

namespace host {

std::string PackFields(const std::vector<std::string>& fields) {
  std::string packed;
  for (const std::string& field : fields) packed += std::to_string(field.size()) + ":" + field;
  return packed;
}

bool UnpackFields(const std::string& packed, std::size_t count, std::vector<std::string>& fields) {
  fields.clear();
  std::size_t at = 0;
  while (at < packed.size()) {
    const std::size_t colon = packed.find(':', at);
    if (colon == std::string::npos || colon == at || colon - at > 12) return false;
    std::size_t length = 0;
    for (std::size_t i = at; i < colon; ++i) {
      if (packed[i] < '0' || packed[i] > '9') return false;
      length = length * 10 + static_cast<std::size_t>(packed[i] - '0');
    }
    if (length > packed.size() - colon - 1) return false;
    fields.push_back(packed.substr(colon + 1, length));
    at = colon + 1 + length;
  }
  return fields.size() == count;
}

}  // namespace host
