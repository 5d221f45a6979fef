#pragma once
// The window operations the behaviour relies on. The Qt view implements them for a user; a
// scripted host implements them for tests; a console host for the command-line front end.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tessvar {

class Dialog;

enum class MessageIcon : uint8_t { None, Exclamation, Information };

struct FileFilter {
  std::string description;  // "Файлы конфигурации (*.dat)"
  std::string pattern;      // "*.dat"
};

struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

class WindowHost {
 public:
  virtual ~WindowHost() = default;

  // Modal, OK button only; returns when dismissed.
  virtual void MessageBox(std::string_view text, std::string_view caption,
                          MessageIcon icon = MessageIcon::None) = 0;
  // Modal, "Да" and "Нет"; true for "Да". A host without a user to ask answers "Да".
  virtual bool AskYesNo(std::string_view /*text*/, std::string_view /*caption*/) { return true; }
  // The chosen path (UTF-8), or nothing on cancel.
  virtual std::optional<std::string> OpenFileDialog(const FileFilter& filter) = 0;
  // Save-as with the overwrite prompt; `defaultExtension` is appended when the user typed none.
  virtual std::optional<std::string> SaveFileDialog(const FileFilter& filter,
                                                    std::string_view defaultExtension) = 0;

  // Window timers: ticks reach `owner.FireTimer(id)` on the window thread. Setting an
  // existing id restarts it with the new period.
  virtual void SetTimer(Dialog& owner, int id, uint32_t periodMs) = 0;
  virtual void KillTimer(Dialog& owner, int id) = 0;

  // A modeless page over its owner; the host shows it until the page ends itself.
  virtual void ShowModeless(Dialog& page, Dialog& owner) = 0;
  // The outer rectangle in screen pixels, and moving a window keeping its size.
  virtual ScreenRect WindowRect(Dialog& d) = 0;
  virtual void MoveWindow(Dialog& d, int left, int top) = 0;
  virtual void Repaint(Dialog& d, bool erase) = 0;

  // Runs `fn` on the window thread; safe to call from any thread.
  virtual void Post(std::function<void()> fn) = 0;
};

}  // namespace tessvar
