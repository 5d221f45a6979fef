#include "win32/dialog_window.h"


#include <vector>

#include "win32/app_resources.h"
#include "win32/text.h"

namespace tessvar::win32 {

namespace {



void AppendText(std::vector<WORD>& out, std::string_view utf8) {
  const std::wstring w = Wide(utf8);
  out.insert(out.end(), w.begin(), w.end());
  out.push_back(0);
}

// An in-memory dialog template without controls: the dialog manager then gives the window
// its font, its size in dialog units and keyboard navigation; the controls are added after.
std::vector<WORD> EmptyTemplate(const DialogTemplate& t, bool owned) {
  DWORD style = DS_SETFONT | DS_MODALFRAME | WS_POPUP;
  if (!(owned && (t.flags & dlg::kNoTitle))) style |= WS_CAPTION;
  else style |= WS_BORDER;
  if (t.flags & dlg::kSystemMenu) style |= WS_SYSMENU;
  if (t.flags & dlg::kMinimizeBox) style |= WS_MINIMIZEBOX;
  std::vector<WORD> out(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
  auto* head = reinterpret_cast<DLGTEMPLATE*>(out.data());
  head->style = style;
  head->dwExtendedStyle = WS_EX_CONTROLPARENT;
  head->cdit = 0;
  head->cx = static_cast<short>(t.width);
  head->cy = static_cast<short>(t.height);
  out.push_back(0);  // no menu
  out.push_back(0);  // the standard dialog class
  AppendText(out, t.caption);
  out.push_back(static_cast<WORD>(t.fontPoints > 0 ? t.fontPoints : 8));
  AppendText(out, t.fontName.empty() ? std::string_view("MS Shell Dlg") : t.fontName);
  return out;
}

struct NativeKind {
  const wchar_t* cls;
  DWORD style;
};

NativeKind KindOf(const ControlTemplate& c) {
  const bool multiline = (c.flags & ctl::kMultiline) != 0;
  const DWORD wrap = multiline ? BS_MULTILINE : 0;
  switch (c.kind) {
    case ControlKind::PushButton: return {WC_BUTTONW, BS_PUSHBUTTON | BS_NOTIFY | WS_TABSTOP | wrap};
    case ControlKind::DefaultPushButton: return {WC_BUTTONW, BS_DEFPUSHBUTTON | BS_NOTIFY | WS_TABSTOP | wrap};
    case ControlKind::PushLikeCheckBox: return {WC_BUTTONW, BS_CHECKBOX | BS_PUSHLIKE | WS_TABSTOP | wrap};
    case ControlKind::CheckBox: return {WC_BUTTONW, BS_CHECKBOX | WS_TABSTOP | wrap};
    case ControlKind::RadioButton: return {WC_BUTTONW, BS_RADIOBUTTON | WS_TABSTOP | wrap};
    case ControlKind::GroupBox: return {WC_BUTTONW, BS_GROUPBOX};
    case ControlKind::Text:
      return {WC_STATICW, static_cast<DWORD>((c.flags & ctl::kCentered) ? SS_CENTER : SS_LEFT)};
    case ControlKind::ClickableText:
      return {WC_STATICW, static_cast<DWORD>(SS_NOTIFY | ((c.flags & ctl::kCentered) ? SS_CENTER : SS_LEFT))};
    case ControlKind::Edit: return {WC_EDITW, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP};
    case ControlKind::DropDownList: return {WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP};
    case ControlKind::Spin: return {UPDOWN_CLASSW, UDS_ARROWKEYS | UDS_NOTHOUSANDS};
    case ControlKind::IpAddress: return {WC_IPADDRESSW, WS_TABSTOP};
    case ControlKind::Icon: return {WC_STATICW, SS_ICON};
  }
  return {WC_STATICW, SS_LEFT};
}

}  // namespace

DialogWindow::DialogWindow(Dialog& dialog, HWND owner) : dialog_(&dialog) {
  const std::vector<WORD> tmpl = EmptyTemplate(dialog.Template(), owner != nullptr);
  hwnd_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(tmpl.data()),
                                     owner, Proc, reinterpret_cast<LPARAM>(this));
  if (!hwnd_) return;
  font_ = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(AppIcon(true)));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(AppIcon(false)));
  Build();
  dialog_->AddObserver(this);
}

DialogWindow::~DialogWindow() {
  if (dialog_) dialog_->RemoveObserver(this);
  dialog_ = nullptr;
  if (hwnd_) DestroyWindow(hwnd_);
  for (auto& [c, b] : brushes_) DeleteObject(b);
}

void DialogWindow::Build() {
  SetWindowTextW(hwnd_, Wide(dialog_->Title()).c_str());
  for (const ControlTemplate& c : dialog_->Template().controls) {
    HWND w = Create(c);
    if (!w) continue;
    if (c.id >= 0 && dialog_->Has(c.id) && !controls_.count(c.id)) {
      controls_[c.id] = w;
    } else {
      // Controls without an id have no live state: their template flags are all they get.
      ShowWindow(w, (c.flags & ctl::kHidden) ? SW_HIDE : SW_SHOW);
      EnableWindow(w, !(c.flags & ctl::kDisabled));
    }
  }
  // Each spin steps the edit before it.
  for (const auto& [id, w] : controls_)
    if (dialog_->State(id).tmpl->kind == ControlKind::Spin)
      if (HWND buddy = Control(BuddyOf(id))) SendMessageW(w, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
  for (const auto& [id, w] : controls_) Mirror(id);
}

HWND DialogWindow::Create(const ControlTemplate& c) {
  RECT r{c.rect.x, c.rect.y, c.rect.x + c.rect.width, c.rect.y + c.rect.height};
  MapDialogRect(hwnd_, &r);
  const NativeKind kind = KindOf(c);
  DWORD style = WS_CHILD | WS_VISIBLE | kind.style;
  if (c.flags & ctl::kGroupStart) style |= WS_GROUP;
  const std::wstring text = c.kind == ControlKind::Icon ? std::wstring() : Wide(c.text);
  const int id = c.id >= 0 ? c.id : 0xFFFF;
  HWND w = CreateWindowExW(c.kind == ControlKind::Edit ? WS_EX_CLIENTEDGE : 0, kind.cls, text.c_str(), style,
                           r.left, r.top, r.right - r.left, r.bottom - r.top, hwnd_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (!w) return nullptr;
  SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  if (c.kind == ControlKind::Icon) SendMessageW(w, STM_SETICON, reinterpret_cast<WPARAM>(AppIcon(true)), 0);
  return w;
}

HWND DialogWindow::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

int DialogWindow::IdOf(HWND control) const {
  // The edit inside a drop-down or an address control belongs to that control.
  for (HWND w = control; w && w != hwnd_; w = GetParent(w))
    for (const auto& [id, cw] : controls_)
      if (cw == w) return id;
  return -1;
}

void DialogWindow::SetMenuCommand(const std::string& text, int command) {
  if (!hwnd_ || !(dialog_ && (dialog_->Template().flags & dlg::kSystemMenu)) || menuCommand_ == command) return;
  menuCommand_ = command;
  HMENU menu = GetSystemMenu(hwnd_, FALSE);
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(command), Wide(text).c_str());
}

void DialogWindow::Detach() {
  if (!dialog_) return;
  dialog_->RemoveObserver(this);
  dialog_ = nullptr;
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

void DialogWindow::ControlChanged(int id) {
  if (controls_.count(id)) Mirror(id);
}

void DialogWindow::DialogChanged() {
  if (!dialog_ || !hwnd_) return;
  const std::wstring title = Wide(dialog_->Title());
  wchar_t shown[512] = {};
  GetWindowTextW(hwnd_, shown, 512);
  if (title != shown) SetWindowTextW(hwnd_, title.c_str());
  const int focus = dialog_->Focus();
  if (HWND w = Control(focus); w && IdOf(GetFocus()) != focus && IsWindowVisible(hwnd_)) SetFocus(w);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void DialogWindow::DialogEnded() {
  if (!dialog_) return;
  Detach();
  if (onEnded) {
    auto ended = std::move(onEnded);
    ended();
  }
}

}  // namespace tessvar::win32
