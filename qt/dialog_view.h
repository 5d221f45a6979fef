#pragma once
// A generic Qt window over one Dialog: builds a widget per template control, mirrors the
// live control state into the widgets and hands the user's input back to the Dialog. No
// behaviour lives here; every decision is the Dialog's handlers'.
#include <QPalette>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <utility>
#include <vector>
#include <string>

#include "qt/dialog_units.h"
#include "ui/dialog.h"

namespace tessvar::qt {

class DialogView : public QWidget, public DialogObserver {
 public:
  // `parent` set: the window stays over its owner (the modeless pages).
  DialogView(Dialog& dialog, QWidget* parent = nullptr);
  ~DialogView() override;

  Dialog* Model() const { return dialog_; }
  // The widget of a control (named or not: unnamed ones by template position are not
  // reachable), or nullptr.
  QWidget* Control(int id) const;
  // The control id a widget (or one of its children) belongs to, or -1.
  int IdOf(const QWidget* w) const;
  const DialogUnits& Units() const { return units_; }
  // A page drawn inside its owner's window instead of as a window of its own.
  bool IsInnerPage() const { return innerPage_; }
  // The view a widget belongs to (the nearest DialogView above it), or nullptr.
  static DialogView* ViewOwning(const QWidget* w);

  // An item of the window menu (the context menu) that sends `command` to the Dialog; the
  // same command again renames its item. F1 runs the first item.
  void SetMenuCommand(const QString& text, int command);
  // Stops mirroring and forwarding for good (the Dialog is about to go) and hides the view.
  void Detach();
  // Called once when the Dialog ends; the view is hidden by then.
  std::function<void()> onEnded;

  // DialogObserver
  void ControlChanged(int id) override;
  void DialogChanged() override;
  void DialogEnded() override;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  // The widget of one template control, wired to the Dialog (dialog_view_controls.cpp).
  QWidget* Create(const ControlTemplate& c);
  QWidget* CreateButton(const ControlTemplate& c);
  QWidget* CreateCheckOrRadio(const ControlTemplate& c);
  QWidget* CreateLabel(const ControlTemplate& c);
  QWidget* CreateEdit(int id);
  QWidget* CreateDropDown(const ControlTemplate& c, const QRect& r);
  QWidget* CreateIpAddress(int id);
  void Mirror(int id);
  // A check box or radio caption wider than its rectangle takes the free room to its right.
  void FitCaption(QWidget* w, const ControlTemplate& t);
  void MirrorColors(QWidget* w, const ControlState& s);
  void OnFocusChanged(QWidget* old, QWidget* now);
  void Step(int spinId, int delta);
  int BuddyOf(int spinId) const;
  void RunMenuCommand();

  Dialog* dialog_;
  DialogUnits units_;
  std::map<int, QWidget*> widgets_;
  std::map<int, QPalette> basePalettes_;
  std::vector<std::pair<QString, int>> menu_;  // text, command
  bool innerPage_ = false;
  qreal fontScale_ = 1.0;  // the font used over the one the template asks for
  // With a shrunk font: the style whose indicators and list arrows shrink with it.
  QStyle* controlStyle_ = nullptr;
  QMetaObject::Connection focusConnection_;
};

}  // namespace tessvar::qt
