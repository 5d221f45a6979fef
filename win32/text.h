#pragma once
// UTF-8 (the model's texts) to UTF-16 (the Windows API's) and back, at the API edge only.
#include <string>
#include <string_view>

namespace tessvar::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace tessvar::win32
