#pragma once
// Small helpers shared by the pages.
#include <span>
#include <string_view>

namespace tessvar {

class Dialog;

// Appends the items a list holds from its template.
void FillItems(Dialog& d, int id, std::span<const std::string_view> items);

}  // namespace tessvar
