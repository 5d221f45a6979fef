#pragma once
// The live state of one dialog window and the table that routes its notifications to
// behaviour code. Behaviour code and tests address controls by id; a view mirrors the
// state and feeds user input back through the User* calls.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dialog_template.h"

namespace tessvar {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct ControlState {
  const ControlTemplate* tmpl = nullptr;
  std::string text;
  bool enabled = true;
  bool visible = true;
  bool readOnly = false;
  bool checked = false;
  std::vector<std::string> items;
  int selection = -1;  // none
  int spinMin = 0, spinMax = 100, spinPos = 0;
  uint32_t ipv4 = 0;  // first octet most significant
  std::optional<Rgb> textColor;
  std::optional<Rgb> backColor;
  std::string toolTip;  // shown when the pointer rests on the control; empty: none
};

// A line drawn on the dialog's client area, in dialog units.
struct DialogLine {
  int x1, y1, x2, y2;
  Rgb color;
};

class WaitGate;

class DialogObserver {
 public:
  virtual ~DialogObserver() = default;
  virtual void ControlChanged(int id) = 0;
  virtual void DialogChanged() {}  // title, focus, lines
  virtual void DialogEnded() {}
};

class Dialog {
 public:
  using Handler = std::function<void()>;

  explicit Dialog(const DialogTemplate& tmpl);
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  const DialogTemplate& Template() const { return tmpl_; }
  bool Has(int id) const { return controls_.count(id) != 0; }
  const ControlState& State(int id) const;
  // Control ids in template order (unnamed controls excluded).
  const std::vector<int>& Ids() const { return order_; }

  // --- operations of behaviour code; each one tells the observers
  void SetText(int id, std::string_view text);
  const std::string& Text(int id) const { return State(id).text; }
  void Enable(int id, bool on);
  bool IsEnabled(int id) const { return State(id).enabled; }
  void SetReadOnly(int id, bool on);
  void Show(int id, bool on);
  void SetToolTip(int id, std::string_view text);
  void SetCheck(int id, bool on);
  bool IsChecked(int id) const { return State(id).checked; }
  // Checks `id` and clears the other radio buttons of its group.
  void CheckRadio(int id);
  // Position of the checked button in the radio group starting at firstId, or -1.
  int RadioIndex(int firstId) const;
  std::vector<int> RadioGroup(int firstId) const;

  int AddItem(int id, std::string_view text);  // sorted lists insert in order; returns the position
  void ResetContent(int id);
  void SetSelection(int id, int index);  // -1 clears
  int Selection(int id) const { return State(id).selection; }
  std::string SelectedText(int id) const;
  const std::vector<std::string>& Items(int id) const { return State(id).items; }
  // The prefix search of list selection: from the item after `start` round to `start`, the
  // first item that begins with `prefix` (any letter case) becomes selected. Returns its
  // position, or -1 with the selection unchanged.
  int SelectByPrefix(int id, std::string_view prefix, int start = 0);
  int FindExact(int id, std::string_view text) const;

  void SetSpinRange(int id, int lo, int hi);
  void SetSpinPos(int id, int pos);
  int SpinPos(int id) const { return State(id).spinPos; }
  void SetIpv4(int id, uint32_t address);
  uint32_t Ipv4(int id) const { return State(id).ipv4; }
  void SetColors(int id, std::optional<Rgb> text, std::optional<Rgb> back);

  void SetTitle(std::string_view title);
  const std::string& Title() const { return title_; }
  void SetFocus(int id);
  int Focus() const { return focus_; }  // -1: focus is elsewhere
  void SetLines(std::vector<DialogLine> lines);
  const std::vector<DialogLine>& Lines() const { return lines_; }

  void EndDialog(int result);
  bool Ended() const { return ended_; }
  int Result() const { return result_; }

  // --- the handler table
  void OnClick(int id, Handler h) { click_[id] = std::move(h); }
  void OnSelChange(int id, Handler h) { selChange_[id] = std::move(h); }
  void OnEditChange(int id, Handler h) { editChange_[id] = std::move(h); }
  void OnKillFocus(int id, Handler h) { killFocus_[id] = std::move(h); }
  void OnCommand(int command, Handler h) { command_[command] = std::move(h); }
  void OnTimer(std::function<void(int timerId)> h) { timer_ = std::move(h); }
  void OnOk(Handler h) { ok_ = std::move(h); }          // Enter
  void OnCancel(Handler h) { cancel_ = std::move(h); }  // Escape
  void OnClose(Handler h) { close_ = std::move(h); }    // close box, system menu close

  // --- user input, as a view or a test delivers it. Input to a disabled or hidden control
  // (or typing into a read-only edit) is refused and returns false.
  bool UserClick(int id);
  bool UserSelect(int id, int index);
  bool UserType(int id, std::string_view text);
  bool UserSpin(int id, int pos);  // writes the position into the edit before the spin
  bool UserSetIpv4(int id, uint32_t address);
  void UserFocus(int id);  // -1: the focus went to another window
  void UserCommand(int command);
  void UserEnter();
  void UserEscape();
  void UserClose();
  void FireTimer(int timerId);
  // Runs a control's click handler regardless of its state (for hidden service buttons).
  void FireClick(int id);

  void AddObserver(DialogObserver* o);
  void RemoveObserver(DialogObserver* o);

  // --- waits of the window thread (see WaitGate). While one runs, user input is kept for
  // after the handler that waits; a click on a control marked here, or the close box, also
  // ends the wait.
  void SetWaitGate(WaitGate* gate) { gate_ = gate; }
  WaitGate* Gate() const { return gate_; }
  void SetEndsWaits(int id) { endsWaits_.push_back(id); }

 private:
  // True when the input came during a wait and was kept for later.
  bool Kept(std::function<void()> action, bool endsWait);
  ControlState& Mutable(int id);
  void Changed(int id);
  void DialogChanged();
  bool Accepts(int id) const;
  static void Run(const std::map<int, Handler>& table, int id);

  const DialogTemplate& tmpl_;
  std::map<int, ControlState> controls_;
  std::vector<int> order_;
  std::string title_;
  int focus_ = -1;
  std::vector<DialogLine> lines_;
  bool ended_ = false;
  int result_ = 0;
  std::map<int, Handler> click_, selChange_, editChange_, killFocus_, command_;
  std::function<void(int)> timer_;
  Handler ok_, cancel_, close_;
  std::vector<DialogObserver*> observers_;
  WaitGate* gate_ = nullptr;
  std::vector<int> endsWaits_;
};

}  // namespace tessvar
