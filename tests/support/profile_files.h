// What the INI layer's tests share: files written byte for byte, and the layer's read and
// write with ASCII paths.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "profile/profile.h"

namespace profile_test {

inline WString Wide(const std::string& ascii) { return WString(ascii.begin(), ascii.end()); }

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

struct ReadResult {
  WString text;
  std::uint32_t result;
};

inline ReadResult Read(const std::string& path, const char16_t* section, const char16_t* key,
                       const char16_t* defaultValue = u"", std::uint32_t size = 256) {
  std::vector<char16_t> buffer(size + 1, u'#');
  const std::uint32_t result =
      profile::ReadProfileString(section, key, defaultValue, buffer.data(), size, Wide(path));
  return {WString(buffer.data()), result};
}

inline bool Write(const std::string& path, const char16_t* section, const char16_t* key,
                  const char16_t* value) {
  return profile::WriteProfileString(section, key, value, Wide(path));
}

}  // namespace profile_test
