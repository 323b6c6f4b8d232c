// Text between the program's UTF-8 and the UTF-16 of the Windows W calls.
#pragma once

#include <string>
#include <string_view>

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
