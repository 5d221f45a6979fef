// DialogWindow: the user's input, from window messages to the Dialog.

#include <algorithm>
#include <charconv>

#include "win32/dialog_window.h"
#include "win32/text.h"

namespace tessvar::win32 {

namespace {

bool IsButtonKind(ControlKind k) {
  return k == ControlKind::PushButton || k == ControlKind::DefaultPushButton;
}

std::string ControlText(HWND w) {
  const int n = GetWindowTextLengthW(w);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(w, s.data(), n + 1);
  s.resize(static_cast<size_t>(n));
  return Utf8(s);
}

}  // namespace

INT_PTR CALLBACK DialogWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lp);
    reinterpret_cast<DialogWindow*>(lp)->hwnd_ = hwnd;
    return FALSE;  // the focus is the Dialog's to give
  }
  auto* self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  return self ? self->OnMessage(msg, wp, lp) : FALSE;
}

INT_PTR DialogWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (lp != 0) OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
      return TRUE;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!OnNotify(*reinterpret_cast<const NMHDR*>(lp), result)) return FALSE;
      SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      return OnColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_PAINT:
      Paint();
      return TRUE;
    case WM_ACTIVATE:
      // Focus that leaves the window (for a page, a message box or another program) leaves
      // the Dialog without a focused control.
      if (LOWORD(wp) == WA_INACTIVE && dialog_) dialog_->UserFocus(-1);
      return FALSE;
    case WM_SYSCOMMAND:
      if (menuCommand_ >= 0 && static_cast<int>(wp & 0xFFF0) == menuCommand_ && dialog_) {
        dialog_->UserCommand(menuCommand_);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      // The Dialog decides; it ends itself (and hides this window) when it agrees.
      if (dialog_) dialog_->UserClose();
      return TRUE;
    default:
      return FALSE;
  }
}

void DialogWindow::OnCommand(int id, int code, HWND control) {
  if (!dialog_ || mirroring_ || IdOf(control) != id || !dialog_->Has(id)) return;
  // Notification codes overlap between control classes, so each kind reads its own.
  switch (dialog_->State(id).tmpl->kind) {
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton:
    case ControlKind::PushLikeCheckBox:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::ClickableText:  // STN_CLICKED is BN_CLICKED
      if (code == BN_SETFOCUS) dialog_->UserFocus(id);
      if (code != BN_CLICKED) return;
      dialog_->UserClick(id);
      Mirror(id);  // a refused click leaves a box as the Dialog has it
      return;
    case ControlKind::Edit:
      if (code == EN_SETFOCUS) dialog_->UserFocus(id);
      if (code == EN_CHANGE && !dialog_->UserType(id, ControlText(control))) Mirror(id);
      return;
    case ControlKind::IpAddress:
      if (code == EN_SETFOCUS) dialog_->UserFocus(id);
      if (code == EN_CHANGE) {
        DWORD address = 0;
        SendMessageW(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
        if (!dialog_->UserSetIpv4(id, address)) Mirror(id);
      }
      return;
    case ControlKind::DropDownList:
      if (code == CBN_SETFOCUS) dialog_->UserFocus(id);
      if (code == CBN_SELCHANGE) {
        dialog_->UserSelect(id, static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0)));
        Mirror(id);
      }
      return;
    default:
      return;
  }
}

bool DialogWindow::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.code != static_cast<UINT>(UDN_DELTAPOS) || !dialog_) return false;
  const int id = IdOf(header.hwndFrom);
  if (id < 0) return false;
  const auto& change = reinterpret_cast<const NMUPDOWN&>(header);
  Step(id, change.iDelta > 0 ? +1 : -1);
  result = TRUE;  // the Dialog moved the position; the control keeps what it mirrors
  return true;
}

int DialogWindow::BuddyOf(int spinId) const {
  if (!dialog_) return -1;
  const auto& ids = dialog_->Ids();
  const auto it = std::find(ids.begin(), ids.end(), spinId);
  if (it == ids.begin() || it == ids.end()) return -1;
  return *(it - 1);
}

void DialogWindow::Step(int spinId, int delta) {
  if (!dialog_ || !dialog_->Has(spinId) || !dialog_->IsEnabled(spinId)) return;
  const ControlState& s = dialog_->State(spinId);
  int base = s.spinPos;
  // The position follows what the user typed into the edit, when it is a number.
  if (const int buddy = BuddyOf(spinId); buddy >= 0) {
    const std::string& t = dialog_->Text(buddy);
    int typed = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), typed);
    if (ec == std::errc() && end == t.data() + t.size()) base = typed;
  }
  const int lo = std::min(s.spinMin, s.spinMax), hi = std::max(s.spinMin, s.spinMax);
  const long long next = static_cast<long long>(base) + (s.spinMin <= s.spinMax ? delta : -delta);
  dialog_->UserSpin(spinId, static_cast<int>(std::clamp<long long>(next, lo, hi)));
}

bool DialogWindow::HandleKey(const MSG& msg) {
  if (!dialog_ || msg.message != WM_KEYDOWN) return false;
  switch (msg.wParam) {
    case VK_RETURN: {
      // An open drop-down takes Enter itself.
      const int id = IdOf(msg.hwnd);
      if (HWND box = Control(id); box && SendMessageW(box, CB_GETDROPPEDSTATE, 0, 0)) return false;
      // Enter presses the focused push button; elsewhere it is the window's default command.
      if (id >= 0 && IsButtonKind(dialog_->State(id).tmpl->kind)) dialog_->UserClick(id);
      else dialog_->UserEnter();
      return true;
    }
    case VK_ESCAPE: {
      const int id = IdOf(msg.hwnd);
      if (HWND box = Control(id); box && SendMessageW(box, CB_GETDROPPEDSTATE, 0, 0)) return false;
      dialog_->UserEscape();
      return true;
    }
    case VK_F1:
      if (menuCommand_ >= 0) dialog_->UserCommand(menuCommand_);
      return true;
    default:
      return false;
  }
}

}  // namespace tessvar::win32
