#include "ui/data_exchange.h"

#include <charconv>

#include "ui/dialog.h"
#include "ui/window_host.h"

namespace tessvar {

std::optional<uint32_t> ParseUnsignedField(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  uint32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

void DataExchange::Text(int id, std::string& member) {
  if (failed_) return;
  if (collect_)
    member = dialog_.Text(id);
  else
    dialog_.SetText(id, member);
}

void DataExchange::Unsigned(int id, uint32_t& member) {
  if (failed_) return;
  if (!collect_) {
    dialog_.SetText(id, std::to_string(member));
    return;
  }
  if (auto v = ParseUnsignedField(dialog_.Text(id))) {
    member = *v;
    return;
  }
  failed_ = true;
  host_.MessageBox(kEnterPositiveInteger, dialog_.Template().caption, MessageIcon::Exclamation);
  dialog_.SetFocus(id);
}

void DataExchange::Check(int id, bool& member) {
  if (failed_) return;
  if (collect_)
    member = dialog_.IsChecked(id);
  else
    dialog_.SetCheck(id, member);
}

void DataExchange::Radio(int firstId, int& member) {
  if (failed_) return;
  if (collect_) {
    member = dialog_.RadioIndex(firstId);
    return;
  }
  const auto group = dialog_.RadioGroup(firstId);
  for (size_t i = 0; i < group.size(); ++i)
    dialog_.SetCheck(group[i], static_cast<int>(i) == member);
}

}  // namespace tessvar
