#pragma once

#include <string>

// UTF-8, the text of the whole program, to and from the UTF-16 of the Windows wide calls.
std::wstring WideOf(const std::string& text);
std::string Utf8Of(const wchar_t* text);  // a NUL-ended wide text
