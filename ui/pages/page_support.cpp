#include "ui/pages/page_support.h"

#include "ui/dialog.h"

namespace tessvar {

void FillItems(Dialog& d, int id, std::span<const std::string_view> items) {
  for (std::string_view item : items) d.AddItem(id, item);
}

}  // namespace tessvar
