// DialogWindow: the live control state into the native controls, and the painting.

#include "win32/dialog_window.h"
#include "win32/text.h"

namespace tessvar::win32 {

namespace {

std::wstring WindowText(HWND w) {
  const int n = GetWindowTextLengthW(w);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(w, s.data(), n + 1);
  s.resize(static_cast<size_t>(n));
  return s;
}

std::wstring ItemText(HWND box, int index) {
  const LRESULT n = SendMessageW(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n == CB_ERR) return {};
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.data()));
  s.resize(static_cast<size_t>(n));
  return s;
}

}  // namespace

void DialogWindow::Mirror(int id) {
  if (!dialog_ || !dialog_->Has(id)) return;
  HWND w = Control(id);
  if (!w) return;
  const ControlState& s = dialog_->State(id);
  mirroring_ = true;
  switch (s.tmpl->kind) {
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton:
    case ControlKind::PushLikeCheckBox:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
      if (s.tmpl->kind != ControlKind::PushButton && s.tmpl->kind != ControlKind::DefaultPushButton)
        SendMessageW(w, BM_SETCHECK, s.checked ? BST_CHECKED : BST_UNCHECKED, 0);
      [[fallthrough]];
    case ControlKind::GroupBox:
    case ControlKind::Text:
    case ControlKind::ClickableText:
    case ControlKind::Edit:
      if (const std::wstring text = Wide(s.text); WindowText(w) != text) SetWindowTextW(w, text.c_str());
      if (s.tmpl->kind == ControlKind::Edit) SendMessageW(w, EM_SETREADONLY, s.readOnly, 0);
      break;
    case ControlKind::DropDownList:
      MirrorItems(w, s);
      break;
    case ControlKind::Spin:
      SendMessageW(w, UDM_SETRANGE32, static_cast<WPARAM>(s.spinMin), static_cast<LPARAM>(s.spinMax));
      SendMessageW(w, UDM_SETPOS32, 0, static_cast<LPARAM>(s.spinPos));
      break;
    case ControlKind::IpAddress:
      if (DWORD shown = 0; SendMessageW(w, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&shown)) != 4 ||
                           shown != s.ipv4)
        SendMessageW(w, IPM_SETADDRESS, 0, static_cast<LPARAM>(s.ipv4));
      break;
    case ControlKind::Icon:
      break;
  }
  if ((IsWindowEnabled(w) != FALSE) != s.enabled) EnableWindow(w, s.enabled);
  if (((GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE) != 0) != s.visible) ShowWindow(w, s.visible ? SW_SHOW : SW_HIDE);
  mirroring_ = false;
  // Colours are asked for while painting (WM_CTLCOLOR*); a repaint picks up new ones.
  InvalidateRect(w, nullptr, TRUE);
}

void DialogWindow::MirrorItems(HWND box, const ControlState& s) {
  const auto count = static_cast<size_t>(SendMessageW(box, CB_GETCOUNT, 0, 0));
  bool same = count == s.items.size();
  for (size_t i = 0; same && i < count; ++i) same = ItemText(box, static_cast<int>(i)) == Wide(s.items[i]);
  if (!same) {
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    // The model keeps its own order (sorted lists included), so items go in as they stand.
    for (const std::string& item : s.items)
      SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
  }
  if (SendMessageW(box, CB_GETCURSEL, 0, 0) != s.selection)
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(s.selection), 0);
}

HBRUSH DialogWindow::Brush(const Rgb& c) {
  const uint32_t key = (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
  auto it = brushes_.find(key);
  if (it == brushes_.end()) it = brushes_.emplace(key, CreateSolidBrush(RGB(c.r, c.g, c.b))).first;
  return it->second;
}

INT_PTR DialogWindow::OnColor(HDC dc, HWND control) {
  const int id = IdOf(control);
  if (!dialog_ || id < 0) return FALSE;
  const ControlState& s = dialog_->State(id);
  if (!s.textColor && !s.backColor) return FALSE;
  if (s.textColor) SetTextColor(dc, RGB(s.textColor->r, s.textColor->g, s.textColor->b));
  if (s.backColor) {
    SetBkColor(dc, RGB(s.backColor->r, s.backColor->g, s.backColor->b));
    return reinterpret_cast<INT_PTR>(Brush(*s.backColor));
  }
  // Only the text colour is the Dialog's; the background stays the system's.
  const int back = s.tmpl->kind == ControlKind::Edit && !s.readOnly ? COLOR_WINDOW : COLOR_BTNFACE;
  SetBkColor(dc, GetSysColor(back));
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(back));
}

void DialogWindow::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  if (dialog_) {
    for (const DialogLine& l : dialog_->Lines()) {
      RECT r{l.x1, l.y1, l.x2, l.y2};
      MapDialogRect(hwnd_, &r);
      HPEN pen = CreatePen(PS_SOLID, 1, RGB(l.color.r, l.color.g, l.color.b));
      HGDIOBJ old = SelectObject(dc, pen);
      MoveToEx(dc, r.left, r.top, nullptr);
      LineTo(dc, r.right, r.bottom);
      SelectObject(dc, old);
      DeleteObject(pen);
    }
  }
  EndPaint(hwnd_, &ps);
}

}  // namespace tessvar::win32
