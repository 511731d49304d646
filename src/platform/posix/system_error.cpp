#include "platform/system_error.h"

namespace platform {
namespace {

struct ErrorEntry {
  std::uint32_t code;
  const char16_t* text;
};

// The English texts of the numbers this layer produces, as the system's message table has
// them (WinINet/WinHTTP texts carry no final period).
constexpr ErrorEntry kErrorTexts[] = {
    {0, u"The operation completed successfully.\r\n"},
    {2, u"The system cannot find the file specified.\r\n"},
    {3, u"The system cannot find the path specified.\r\n"},
    {4, u"The system cannot open the file.\r\n"},
    {5, u"Access is denied.\r\n"},
    {6, u"The handle is invalid.\r\n"},
    {8, u"Not enough memory resources are available to process this command.\r\n"},
    {29, u"The system cannot write to the specified device.\r\n"},
    {30, u"The system cannot read from the specified device.\r\n"},
    {32, u"The process cannot access the file because it is being used by another process.\r\n"},
    {38, u"Reached the end of the file.\r\n"},
    {80, u"The file exists.\r\n"},
    {87, u"The parameter is incorrect.\r\n"},
    {112, u"There is not enough space on the disk.\r\n"},
    {122, u"The data area passed to a system call is too small.\r\n"},
    {123, u"The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {131, u"An attempt was made to move the file pointer before the beginning of the file.\r\n"},
    {183, u"Cannot create a file when that file already exists.\r\n"},
    {206, u"The filename or extension is too long.\r\n"},
    {1004, u"Invalid flags.\r\n"},
    {1113, u"No mapping for the Unicode character exists in the target multi-byte code page.\r\n"},
    {1223, u"The operation was canceled by the user.\r\n"},
    {12001, u"No more handles could be generated at this time\r\n"},
    {12002, u"The operation timed out\r\n"},
    {12004, u"An internal error occurred in the Microsoft Internet extensions\r\n"},
    {12005, u"The URL is invalid\r\n"},
    {12006, u"The URL does not use a recognized protocol\r\n"},
    {12007, u"The server name or address could not be resolved\r\n"},
    {12017, u"The operation was canceled\r\n"},
    {12019, u"The requested operation cannot be carried out because the handle supplied is not in the correct state\r\n"},
    {12029, u"A connection with the server could not be established\r\n"},
    {12030, u"The connection with the server was terminated abnormally\r\n"},
    {12150, u"The requested header could not be located\r\n"},
    {12152, u"The server returned an invalid or unrecognized response\r\n"},
    {12156, u"The HTTP redirect request failed\r\n"},
    {12175, u"A security error occurred\r\n"},
};

thread_local std::uint32_t lastError = 0;

}  // namespace

WString ErrorText(std::uint32_t code) {
  for (const auto& entry : kErrorTexts) {
    if (entry.code == code) return entry.text;
  }
  return {};
}

std::uint32_t GetLastErrorCode() { return lastError; }
void SetLastErrorCode(std::uint32_t code) { lastError = code; }

}  // namespace platform
