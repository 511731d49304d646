#include "platform/file.h"

#include "platform/system_error.h"

namespace platform {

FileError::FileError(std::uint32_t code, WString path)
    : code_(code), path_(std::move(path)) {
  what_ = "file error " + std::to_string(code_) + " on " + PathToNative(path_);
}

WString FileError::Message() const { return ErrorText(code_); }

WString FileError::Message(std::size_t maxChars) const {
  WString text = Message();
  if (text.size() > maxChars) text.resize(maxChars);
  return text;
}

}  // namespace platform
