#include "ui/dialog.h"

#include <algorithm>
#include <stdexcept>

#include "ui/text_compare.h"
#include "ui/wait_gate.h"

namespace tessvar {

Dialog::Dialog(const DialogTemplate& tmpl) : tmpl_(tmpl), title_(tmpl.caption) {
  for (const ControlTemplate& c : tmpl.controls) {
    if (c.id < 0) continue;
    ControlState s;
    s.tmpl = &c;
    s.text = std::string(c.text);
    s.enabled = (c.flags & ctl::kDisabled) == 0;
    s.visible = (c.flags & ctl::kHidden) == 0;
    s.readOnly = (c.flags & ctl::kReadOnly) != 0;
    s.checked = (c.flags & ctl::kChecked) != 0;
    if (c.kind == ControlKind::DropDownList || c.kind == ControlKind::Spin ||
        c.kind == ControlKind::IpAddress || c.kind == ControlKind::Edit) {
      s.text = c.kind == ControlKind::Edit ? std::string(c.text) : std::string();
    }
    if (controls_.emplace(c.id, std::move(s)).second) order_.push_back(c.id);
  }
}

const ControlState& Dialog::State(int id) const {
  auto it = controls_.find(id);
  if (it == controls_.end()) throw std::out_of_range("no control " + std::to_string(id));
  return it->second;
}

ControlState& Dialog::Mutable(int id) { return const_cast<ControlState&>(State(id)); }

void Dialog::Changed(int id) {
  for (auto* o : std::vector<DialogObserver*>(observers_)) o->ControlChanged(id);
}

void Dialog::DialogChanged() {
  for (auto* o : std::vector<DialogObserver*>(observers_)) o->DialogChanged();
}

void Dialog::SetText(int id, std::string_view text) {
  auto& s = Mutable(id);
  if (s.text == text) return;
  s.text = std::string(text);
  Changed(id);
}

void Dialog::Enable(int id, bool on) {
  auto& s = Mutable(id);
  if (s.enabled == on) return;
  s.enabled = on;
  Changed(id);
}

void Dialog::SetReadOnly(int id, bool on) {
  auto& s = Mutable(id);
  if (s.readOnly == on) return;
  s.readOnly = on;
  Changed(id);
}

void Dialog::Show(int id, bool on) {
  auto& s = Mutable(id);
  if (s.visible == on) return;
  s.visible = on;
  Changed(id);
}

void Dialog::SetCheck(int id, bool on) {
  auto& s = Mutable(id);
  if (s.checked == on) return;
  s.checked = on;
  Changed(id);
}

std::vector<int> Dialog::RadioGroup(int memberId) const {
  // A group runs from a button flagged as its start to the control before the next start.
  const auto& cs = tmpl_.controls;
  size_t at = cs.size();
  for (size_t i = 0; i < cs.size(); ++i)
    if (cs[i].id == memberId) at = i;
  if (at == cs.size()) return {};
  size_t first = at;
  while (first > 0 && (cs[first].flags & ctl::kGroupStart) == 0 &&
         cs[first - 1].kind == ControlKind::RadioButton)
    --first;
  std::vector<int> group;
  for (size_t i = first; i < cs.size() && cs[i].kind == ControlKind::RadioButton; ++i) {
    if (i > first && (cs[i].flags & ctl::kGroupStart) != 0) break;
    group.push_back(cs[i].id);
  }
  return group;
}

void Dialog::CheckRadio(int id) {
  for (int member : RadioGroup(id)) SetCheck(member, member == id);
}

int Dialog::RadioIndex(int firstId) const {
  const auto group = RadioGroup(firstId);
  for (size_t i = 0; i < group.size(); ++i)
    if (IsChecked(group[i])) return static_cast<int>(i);
  return -1;
}

int Dialog::AddItem(int id, std::string_view text) {
  auto& s = Mutable(id);
  size_t pos = s.items.size();
  if (s.tmpl && (s.tmpl->flags & ctl::kSorted)) {
    pos = 0;
    while (pos < s.items.size() && CompareIgnoreCase(s.items[pos], text) <= 0) ++pos;
    if (s.selection >= static_cast<int>(pos)) ++s.selection;
  }
  s.items.insert(s.items.begin() + static_cast<std::ptrdiff_t>(pos), std::string(text));
  Changed(id);
  return static_cast<int>(pos);
}

void Dialog::ResetContent(int id) {
  auto& s = Mutable(id);
  s.items.clear();
  s.selection = -1;
  Changed(id);
}

void Dialog::SetSelection(int id, int index) {
  auto& s = Mutable(id);
  if (index < -1 || index >= static_cast<int>(s.items.size())) index = -1;
  // The edit of a list that takes typed text shows the item chosen.
  if (s.tmpl && (s.tmpl->flags & ctl::kEditable) && index >= 0 &&
      s.text != s.items[static_cast<size_t>(index)]) {
    s.text = s.items[static_cast<size_t>(index)];
    if (s.selection == index) Changed(id);
  }
  if (s.selection == index) return;
  s.selection = index;
  Changed(id);
}

std::string Dialog::SelectedText(int id) const {
  const auto& s = State(id);
  if (s.selection < 0 || s.selection >= static_cast<int>(s.items.size())) return {};
  return s.items[static_cast<size_t>(s.selection)];
}

int Dialog::SelectByPrefix(int id, std::string_view prefix, int start) {
  const auto& s = State(id);
  const int n = static_cast<int>(s.items.size());
  if (n == 0) return -1;
  if (start < 0 || start >= n) start = n - 1;  // "from the beginning": item 0 is searched first
  for (int k = 1; k <= n; ++k) {
    const int i = (start + k) % n;
    if (StartsWithIgnoreCase(s.items[static_cast<size_t>(i)], prefix)) {
      SetSelection(id, i);
      return i;
    }
  }
  return -1;
}

int Dialog::FindExact(int id, std::string_view text) const {
  const auto& items = State(id).items;
  for (size_t i = 0; i < items.size(); ++i)
    if (CompareIgnoreCase(items[i], text) == 0) return static_cast<int>(i);
  return -1;
}

void Dialog::SetSpinRange(int id, int lo, int hi) {
  auto& s = Mutable(id);
  s.spinMin = lo;
  s.spinMax = hi;
  Changed(id);
}

void Dialog::SetSpinPos(int id, int pos) {
  auto& s = Mutable(id);
  const int lo = std::min(s.spinMin, s.spinMax), hi = std::max(s.spinMin, s.spinMax);
  s.spinPos = std::clamp(pos, lo, hi);
  Changed(id);
}

void Dialog::SetIpv4(int id, uint32_t address) {
  auto& s = Mutable(id);
  if (s.ipv4 == address) return;
  s.ipv4 = address;
  Changed(id);
}

void Dialog::SetColors(int id, std::optional<Rgb> text, std::optional<Rgb> back) {
  auto& s = Mutable(id);
  if (s.textColor == text && s.backColor == back) return;
  s.textColor = text;
  s.backColor = back;
  Changed(id);
}

void Dialog::SetToolTip(int id, std::string_view text) {
  auto& s = Mutable(id);
  if (s.toolTip == text) return;
  s.toolTip = std::string(text);
  Changed(id);
}

void Dialog::SetTitle(std::string_view title) {
  title_ = std::string(title);
  DialogChanged();
}

void Dialog::SetFocus(int id) {
  if (id >= 0 && !Has(id)) return;
  focus_ = id;
  DialogChanged();
}

void Dialog::SetLines(std::vector<DialogLine> lines) {
  lines_ = std::move(lines);
  DialogChanged();
}

void Dialog::EndDialog(int result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
  for (auto* o : std::vector<DialogObserver*>(observers_)) o->DialogEnded();
}

bool Dialog::Accepts(int id) const {
  if (!Has(id) || ended_) return false;
  const auto& s = State(id);
  return s.enabled && s.visible;
}

void Dialog::Run(const std::map<int, Handler>& table, int id) {
  auto it = table.find(id);
  if (it != table.end() && it->second) {
    Handler h = it->second;  // the handler may replace its own table entry
    h();
  }
}

bool Dialog::Kept(std::function<void()> action, bool endsWait) {
  if (!gate_ || !gate_->Waiting()) return false;
  gate_->Defer(std::move(action), endsWait);
  return true;
}

bool Dialog::UserClick(int id) {
  if (!Accepts(id)) return false;
  const bool ends = std::find(endsWaits_.begin(), endsWaits_.end(), id) != endsWaits_.end();
  if (Kept([this, id] { UserClick(id); }, ends)) return true;
  const auto& s = State(id);
  switch (s.tmpl->kind) {
    case ControlKind::CheckBox:
    case ControlKind::PushLikeCheckBox:
      SetCheck(id, !s.checked);
      break;
    case ControlKind::RadioButton:
      CheckRadio(id);
      break;
    default:
      break;
  }
  FireClick(id);
  return true;
}

void Dialog::FireClick(int id) { Run(click_, id); }

bool Dialog::UserSelect(int id, int index) {
  if (!Accepts(id)) return false;
  if (Kept([this, id, index] { UserSelect(id, index); }, false)) return true;
  if (index < 0 || index >= static_cast<int>(State(id).items.size())) return false;
  SetSelection(id, index);
  Run(selChange_, id);
  return true;
}

bool Dialog::UserType(int id, std::string_view text) {
  if (!Accepts(id) || State(id).readOnly) return false;
  if (Kept([this, id, t = std::string(text)] { UserType(id, t); }, false)) return true;
  SetText(id, text);
  Run(editChange_, id);
  return true;
}

bool Dialog::UserSpin(int id, int pos) {
  if (!Accepts(id)) return false;
  if (Kept([this, id, pos] { UserSpin(id, pos); }, false)) return true;
  SetSpinPos(id, pos);
  // The spin writes its position into the control before it in the template.
  const auto it = std::find(order_.begin(), order_.end(), id);
  if (it != order_.begin() && it != order_.end()) {
    SetText(*(it - 1), std::to_string(SpinPos(id)));
    Run(editChange_, *(it - 1));
  }
  return true;
}

bool Dialog::UserSetIpv4(int id, uint32_t address) {
  if (!Accepts(id)) return false;
  if (Kept([this, id, address] { UserSetIpv4(id, address); }, false)) return true;
  SetIpv4(id, address);
  Run(editChange_, id);
  return true;
}

void Dialog::UserFocus(int id) {
  if (id >= 0 && !Accepts(id)) return;
  if (Kept([this, id] { UserFocus(id); }, false)) return;
  const int previous = focus_;
  if (previous == id) return;
  focus_ = id;
  DialogChanged();
  if (previous >= 0) Run(killFocus_, previous);
}

void Dialog::UserCommand(int command) {
  if (Kept([this, command] { UserCommand(command); }, false)) return;
  Run(command_, command);
}

void Dialog::UserEnter() {
  if (Kept([this] { UserEnter(); }, false)) return;
  if (ok_) {
    Handler h = ok_;
    h();
  } else {
    EndDialog(1);
  }
}

void Dialog::UserEscape() {
  if (Kept([this] { UserEscape(); }, false)) return;
  if (cancel_) {
    Handler h = cancel_;
    h();
  } else {
    EndDialog(2);
  }
}

void Dialog::UserClose() {
  if (Kept([this] { UserClose(); }, true)) return;
  if (close_) {
    Handler h = close_;
    h();
  } else {
    UserEscape();
  }
}

void Dialog::FireTimer(int timerId) {
  if (ended_ || !timer_) return;
  auto h = timer_;
  h(timerId);
}

void Dialog::AddObserver(DialogObserver* o) { observers_.push_back(o); }

void Dialog::RemoveObserver(DialogObserver* o) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), o), observers_.end());
}

}  // namespace tessvar
