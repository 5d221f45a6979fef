#include "win32/win32_window_host.h"

#include "win32/text.h"

namespace tessvar::win32 {

namespace {

constexpr UINT kRunPosted = WM_APP + 1;
constexpr UINT kForget = WM_APP + 2;

}  // namespace

Win32WindowHost::Win32WindowHost() : thread_(GetCurrentThreadId()) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = MessageProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TessvarHostMessages";
  RegisterClassW(&wc);
  messages_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  SetWindowLongPtrW(messages_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32WindowHost::~Win32WindowHost() {
  DetachAll();
  views_.clear();
  SetWindowLongPtrW(messages_, GWLP_USERDATA, 0);
  DestroyWindow(messages_);
}

LRESULT CALLBACK Win32WindowHost::MessageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<Win32WindowHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_TIMER:
      self->Tick(wp);
      return 0;
    case kRunPosted:
      self->RunPosted();
      return 0;
    case kForget:
      self->Forget(reinterpret_cast<const Dialog*>(lp));
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

DialogWindow* Win32WindowHost::ViewOf(const Dialog& d) const {
  auto it = views_.find(&d);
  return it == views_.end() ? nullptr : it->second.get();
}

DialogWindow* Win32WindowHost::WindowOf(HWND hwnd) const {
  const HWND root = GetAncestor(hwnd, GA_ROOT);
  for (const auto& [d, v] : views_)
    if (v->Handle() == root) return v.get();
  return nullptr;
}

DialogWindow& Win32WindowHost::Attach(Dialog& d, Dialog* owner) {
  if (DialogWindow* existing = ViewOf(d)) return *existing;
  DialogWindow* ownerView = owner ? ViewOf(*owner) : nullptr;
  auto view = std::make_unique<DialogWindow>(d, ownerView ? ownerView->Handle() : nullptr);
  if (menuCommand_ >= 0) view->SetMenuCommand(menuText_, menuCommand_);
  // The window goes once its Dialog ended, outside the handler that ended it.
  view->onEnded = [this, key = &d] {
    KillTimersOf(key);
    PostMessageW(messages_, kForget, 0, reinterpret_cast<LPARAM>(key));
  };
  DialogWindow& ref = *view;
  views_[&d] = std::move(view);
  return ref;
}

void Win32WindowHost::KillTimersOf(const Dialog* d) {
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (it->first.first != d) {
      ++it;
      continue;
    }
    ::KillTimer(messages_, it->second);
    timerKeys_.erase(it->second);
    it = timers_.erase(it);
  }
}

void Win32WindowHost::Forget(const Dialog* d) {
  KillTimersOf(d);
  views_.erase(d);
}

void Win32WindowHost::DetachAll() {
  for (auto& [key, timer] : timers_) ::KillTimer(messages_, timer);
  timers_.clear();
  timerKeys_.clear();
  for (auto& [d, v] : views_) v->Detach();
}

void Win32WindowHost::SetMenuCommand(const std::string& text, int command) {
  menuText_ = text;
  menuCommand_ = command;
  for (auto& [d, v] : views_) v->SetMenuCommand(text, command);
}

HWND Win32WindowHost::ActiveParent() const {
  if (HWND active = GetActiveWindow(); active && WindowOf(active)) return active;
  for (const auto& [d, v] : views_)
    if (IsWindowVisible(v->Handle()) && !GetWindow(v->Handle(), GW_OWNER)) return v->Handle();
  return nullptr;
}

void Win32WindowHost::Dispatch(MSG& msg) {
  if (DialogWindow* view = WindowOf(msg.hwnd)) {
    if (view->HandleKey(msg)) return;
    if (IsDialogMessageW(view->Handle(), &msg)) return;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void Win32WindowHost::RunModal(Dialog& d, Dialog* owner) {
  DialogWindow& view = Attach(d, owner);
  const HWND hwnd = view.Handle();
  const HWND ownerWindow = GetWindow(hwnd, GW_OWNER);
  if (ownerWindow) {
    RECT o{}, r{};
    GetWindowRect(ownerWindow, &o);
    GetWindowRect(hwnd, &r);
    SetWindowPos(hwnd, nullptr, (o.left + o.right - (r.right - r.left)) / 2,
                 (o.top + o.bottom - (r.bottom - r.top)) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EnableWindow(ownerWindow, FALSE);
  }
  ShowWindow(hwnd, SW_SHOW);
  SetForegroundWindow(hwnd);
  MSG msg;
  while (!d.Ended() && GetMessageW(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
  if (ownerWindow) EnableWindow(ownerWindow, TRUE);
}

}  // namespace tessvar::win32
