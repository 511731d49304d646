// Wide text as the plug-in and its host exchange it: UTF-16 code units, whatever the size of
// wchar_t on the platform. Everything that handles wide text includes this header.
#pragma once

#include <string>
#include <string_view>

using WString = std::u16string;
using WStringView = std::u16string_view;
