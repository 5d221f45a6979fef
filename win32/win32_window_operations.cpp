// Win32WindowHost: the operations the behaviour code calls.
#include "win32/win32_window_host.h"

#include <commdlg.h>

#include <vector>

#include "win32/text.h"

namespace tessvar::win32 {

namespace {

constexpr UINT kRunPosted = WM_APP + 1;

// "Files (*.dat)" already names its pattern; a bare description gets it appended.
std::wstring FilterText(const FileFilter& f) {
  const std::string pattern = f.pattern.empty() ? std::string("*") : f.pattern;
  std::string description = f.description.empty() ? pattern : f.description;
  if (description.find(pattern) == std::string::npos) description += " (" + pattern + ")";
  std::wstring out = Wide(description);
  out.push_back(L'\0');
  out += Wide(pattern);
  out.push_back(L'\0');
  out.push_back(L'\0');
  return out;
}

std::optional<std::string> AskForFile(HWND parent, const FileFilter& filter, bool save, std::string_view ext) {
  const std::wstring filters = FilterText(filter);
  std::wstring extension = Wide(ext);
  while (!extension.empty() && extension.front() == L'.') extension.erase(0, 1);
  std::vector<wchar_t> path(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = parent;
  ofn.lpstrFilter = filters.c_str();
  ofn.lpstrFile = path.data();
  ofn.nMaxFile = static_cast<DWORD>(path.size());
  ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
              (save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
  const BOOL chosen = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!chosen) return std::nullopt;
  return Utf8(path.data());
}

}  // namespace

void Win32WindowHost::MessageBox(std::string_view text, std::string_view caption, MessageIcon icon) {
  const UINT flags = MB_OK | (icon == MessageIcon::Exclamation   ? MB_ICONEXCLAMATION
                              : icon == MessageIcon::Information ? MB_ICONINFORMATION
                                                                 : 0);
  MessageBoxW(ActiveParent(), Wide(text).c_str(), Wide(caption).c_str(), flags);
}

std::optional<std::string> Win32WindowHost::OpenFileDialog(const FileFilter& filter) {
  if (presetOpen_) {
    auto answer = std::move(presetOpen_);
    presetOpen_.reset();
    return answer;
  }
  return AskForFile(ActiveParent(), filter, false, {});
}

std::optional<std::string> Win32WindowHost::SaveFileDialog(const FileFilter& filter,
                                                           std::string_view defaultExtension) {
  return AskForFile(ActiveParent(), filter, true, defaultExtension);
}

void Win32WindowHost::SetTimer(Dialog& owner, int id, uint32_t periodMs) {
  const Key key{&owner, id};
  auto it = timers_.find(key);
  if (it == timers_.end()) {
    it = timers_.emplace(key, nextTimer_++).first;
    timerKeys_[it->second] = key;
  }
  // Setting an existing timer again restarts it with the new period.
  ::SetTimer(messages_, it->second, periodMs == 0 ? USER_TIMER_MINIMUM : periodMs, nullptr);
}

void Win32WindowHost::KillTimer(Dialog& owner, int id) {
  auto it = timers_.find(Key{&owner, id});
  if (it == timers_.end()) return;
  ::KillTimer(messages_, it->second);
  timerKeys_.erase(it->second);
  timers_.erase(it);
}

void Win32WindowHost::Tick(UINT_PTR timer) {
  auto it = timerKeys_.find(timer);
  if (it == timerKeys_.end()) return;
  const auto [owner, id] = it->second;
  // Window timers do not queue up: a tick that finds its window busy is simply dropped.
  if (Waiting() || ticking_.count(owner)) return;
  ticking_.insert(owner);
  owner->FireTimer(id);
  ticking_.erase(owner);
  if (ticking_.empty()) PostMessageW(messages_, kRunPosted, 0, 0);
}

void Win32WindowHost::ShowModeless(Dialog& page, Dialog& owner) {
  DialogWindow& view = Attach(page, &owner);
  if (DialogWindow* ownerView = ViewOf(owner)) {
    // Pages are placed by their owner; a window with a title bar starts centred over it.
    RECT o{}, r{};
    GetWindowRect(ownerView->Handle(), &o);
    GetWindowRect(view.Handle(), &r);
    const bool framed = !(page.Template().flags & dlg::kNoTitle);
    const int left = framed ? (o.left + o.right - (r.right - r.left)) / 2 : o.left;
    const int top = framed ? (o.top + o.bottom - (r.bottom - r.top)) / 2 : o.top;
    SetWindowPos(view.Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  ShowWindow(view.Handle(), SW_SHOW);
  SetForegroundWindow(view.Handle());
  // The first control that takes the focus gets it, as a freshly shown dialog does.
  if (HWND first = GetNextDlgTabItem(view.Handle(), nullptr, FALSE)) SetFocus(first);
}

ScreenRect Win32WindowHost::WindowRect(Dialog& d) {
  DialogWindow* v = ViewOf(d);
  if (!v) return {};
  RECT r{};
  GetWindowRect(v->Handle(), &r);
  return {r.left, r.top, r.right, r.bottom};
}

void Win32WindowHost::MoveWindow(Dialog& d, int left, int top) {
  if (DialogWindow* v = ViewOf(d)) SetWindowPos(v->Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void Win32WindowHost::Repaint(Dialog& d, bool erase) {
  if (DialogWindow* v = ViewOf(d)) InvalidateRect(v->Handle(), nullptr, erase);
}

void Win32WindowHost::Post(std::function<void()> fn) {
  bool queue = false;
  {
    std::lock_guard<std::mutex> lock(postedMutex_);
    posted_.push_back(std::move(fn));
    queue = !drainQueued_;
    drainQueued_ = true;
  }
  if (queue) PostMessageW(messages_, kRunPosted, 0, 0);
}

void Win32WindowHost::LeaveWait() {
  if (--waitDepth_ == 0) PostMessageW(messages_, kRunPosted, 0, 0);
}

void Win32WindowHost::RunPosted() {
  // Closures wait for a running wait or tick to end; its end asks for them again.
  if (Waiting() || !ticking_.empty()) return;
  for (;;) {
    std::function<void()> fn;
    {
      std::lock_guard<std::mutex> lock(postedMutex_);
      if (posted_.empty()) {
        drainQueued_ = false;
        return;
      }
      fn = std::move(posted_.front());
      posted_.pop_front();
    }
    fn();
    if (Waiting()) return;  // the closure's own wait asks again when it ends
  }
}

}  // namespace tessvar::win32
