#include "qt/qt_window_host.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>

namespace tessvar::qt {

namespace {

QString FromUtf8(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// "Files (*.dat)" already names its pattern; a bare description gets it appended.
QString NameFilter(const FileFilter& f) {
  const QString description = FromUtf8(f.description);
  const QString pattern = FromUtf8(f.pattern.empty() ? std::string("*") : f.pattern);
  if (description.isEmpty() || description == pattern) return pattern;
  if (description.contains(QLatin1Char('(')) && description.contains(pattern)) return description;
  return description + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

}  // namespace

void QtWindowHost::TimerDeleter::operator()(QTimer* t) const {
  // A timer may be killed from inside its own tick; Qt deletes it once the tick returns.
  t->stop();
  t->deleteLater();
}

QtWindowHost::QtWindowHost() {
  monotonic_.start();
  // The actions kept during a wait run as a posted closure: never inside a wait or a tick.
  gate_.requestSettle = [this] { Post([this] { gate_.Settle(); }); };
}

QtWindowHost::~QtWindowHost() {
  timers_.clear();
  for (auto& [d, v] : views_) delete v.data();  // pages go with their owner's view
}

DialogView& QtWindowHost::AttachMain(Dialog& d) { return Attach(d, nullptr); }

DialogView& QtWindowHost::Attach(Dialog& d, DialogView* owner) {
  if (DialogView* existing = ViewOf(d)) return *existing;
  d.SetWaitGate(&gate_);
  auto* view = new DialogView(d, owner);  // owned by its owner view, or by this host
  if (d.Template().flags & dlg::kSystemMenu)
    for (const auto& [text, command] : menu_) view->SetMenuCommand(text, command);
  const Dialog* key = &d;
  view->onEnded = [this, key] {
    auto it = views_.find(key);
    if (it == views_.end()) return;
    QPointer<DialogView> v = it->second;
    views_.erase(it);
    ForgetDialog(*key);
    if (v) v->deleteLater();
  };
  views_[&d] = view;
  return *view;
}

DialogView* QtWindowHost::ViewOf(const Dialog& d) const {
  auto it = views_.find(&d);
  return it == views_.end() ? nullptr : it->second.data();
}

void QtWindowHost::ForgetDialog(const Dialog& d) {
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (it->first.first == &d) it = timers_.erase(it);
    else ++it;
  }
  if (auto it = views_.find(&d); it != views_.end()) {
    QPointer<DialogView> v = it->second;
    views_.erase(it);
    if (v) {
      v->Detach();
      v->deleteLater();
    }
  }
}

void QtWindowHost::DetachAll() {
  timers_.clear();
  for (auto& [d, v] : views_)
    if (v) v->Detach();
}

void QtWindowHost::SetMenuCommand(const QString& text, int command) {
  bool known = false;
  for (auto& item : menu_) {
    if (item.second == command) {
      item.first = text;
      known = true;
    }
  }
  if (!known) menu_.emplace_back(text, command);
  for (auto& [d, v] : views_)
    if (v && (d->Template().flags & dlg::kSystemMenu)) v->SetMenuCommand(text, command);
}

QWidget* QtWindowHost::ActiveParent() const {
  if (QWidget* w = QApplication::activeWindow()) return w;
  for (const auto& [d, v] : views_)
    if (v && v->isVisible() && !v->parentWidget()) return v.data();
  return nullptr;
}

void QtWindowHost::RunModal(Dialog& d, Dialog* owner) {
  DialogView* ownerView = owner ? ViewOf(*owner) : nullptr;
  DialogView& view = Attach(d, ownerView);
  QPointer<DialogView> guard(&view);
  if (ownerView) view.setWindowModality(Qt::ApplicationModal);
  QEventLoop loop;
  auto previous = view.onEnded;
  view.onEnded = [previous, &loop] {
    if (previous) previous();
    loop.quit();
  };
  if (ownerView) {
    const QRect o = ownerView->frameGeometry();
    view.move(o.center() - QPoint(view.width() / 2, view.height() / 2));
  }
  view.show();
  view.activateWindow();
  if (!d.Ended()) loop.exec();
}

void QtWindowHost::MessageBox(std::string_view text, std::string_view caption, MessageIcon icon) {
  const QMessageBox::Icon qicon = icon == MessageIcon::Exclamation   ? QMessageBox::Warning
                                  : icon == MessageIcon::Information ? QMessageBox::Information
                                                                     : QMessageBox::NoIcon;
  QMessageBox box(qicon, FromUtf8(caption), FromUtf8(text), QMessageBox::Ok, ActiveParent());
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool QtWindowHost::AskYesNo(std::string_view text, std::string_view caption) {
  QMessageBox box(QMessageBox::Question, FromUtf8(caption), FromUtf8(text),
                  QMessageBox::Yes | QMessageBox::No, ActiveParent());
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtWindowHost::OpenFileDialog(const FileFilter& filter) {
  if (presetOpen_) {
    auto answer = std::move(presetOpen_);
    presetOpen_.reset();
    return answer;
  }
  QFileDialog dialog(ActiveParent());
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(NameFilter(filter));
  return RunFileDialog(dialog);
}

std::optional<std::string> QtWindowHost::SaveFileDialog(const FileFilter& filter,
                                                        std::string_view defaultExtension) {
  QFileDialog dialog(ActiveParent());
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(NameFilter(filter));
  QString ext = FromUtf8(defaultExtension);
  while (ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
  if (!ext.isEmpty()) dialog.setDefaultSuffix(ext);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  return RunFileDialog(dialog);
}

std::optional<std::string> QtWindowHost::RunFileDialog(QFileDialog& dialog) {
  if (!lastFolder_.isEmpty()) dialog.setDirectory(lastFolder_);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString chosen = dialog.selectedFiles().first();
  lastFolder_ = QFileInfo(chosen).absolutePath();
  return chosen.toStdString();
}

void QtWindowHost::SetTimer(Dialog& owner, int id, uint32_t periodMs) {
  const Key key{&owner, id};
  periodMs = std::min<uint32_t>(periodMs, 0x7FFFFFFF);
  auto it = timers_.find(key);
  if (it == timers_.end()) {
    WindowTimer t;
    t.shot.reset(new QTimer(&context_));
    t.shot->setSingleShot(true);
    t.shot->setTimerType(Qt::PreciseTimer);
    Dialog* d = &owner;
    QObject::connect(t.shot.get(), &QTimer::timeout, &context_, [this, d, id] { Tick(d, id); });
    it = timers_.emplace(key, std::move(t)).first;
  }
  std::optional<RunningTick> running;
  if (runningTick_ && runningTick_->first == key) running = runningTick_->second;
  WindowTimer& t = it->second;
  t.period = periodMs;
  t.pending = false;
  // A zero period still ticks, as soon as the window is idle.
  t.due = FirstTickDue(periodMs, NowMs(), running);
  Aim(t);
}

void QtWindowHost::Aim(WindowTimer& t) {
  const uint64_t now = NowMs();
  t.shot->start(static_cast<int>(t.due > now ? std::min<uint64_t>(t.due - now, 0x7FFFFFFF) : 0));
}

void QtWindowHost::KillTimer(Dialog& owner, int id) { timers_.erase(Key{&owner, id}); }

bool QtWindowHost::HasTimer(const Dialog& owner, int id) const {
  return timers_.count(Key{&owner, id}) != 0;
}

void QtWindowHost::Tick(Dialog* owner, int id) {
  const Key key{owner, id};
  auto it = timers_.find(key);
  if (it == timers_.end()) return;
  // Window timers do not queue up: a tick that finds its window busy waits, once, for the
  // wait or the other tick to end.
  if (Waiting() || ticking_.count(owner)) {
    ++skippedTicks_;
    it->second.pending = true;
    return;
  }
  WindowTimer& t = it->second;
  const RunningTick tick{t.due, t.period};
  t.pending = false;
  t.due = NextTickDue(t.due, t.period, NowMs());
  Aim(t);
  ticking_.insert(owner);
  const auto outer = runningTick_;
  runningTick_ = std::make_pair(key, tick);
  owner->FireTimer(id);
  runningTick_ = outer;
  ticking_.erase(owner);
  if (ticking_.empty()) {
    ResumeTimers();
    ResumePosted();
  }
}

void QtWindowHost::ResumeTimers() {
  if (Waiting()) return;
  for (auto& [key, t] : timers_)
    if (t.pending) {
      t.pending = false;
      t.shot->start(0);
    }
}

void QtWindowHost::ShowModeless(Dialog& page, Dialog& owner) {
  DialogView* ownerView = ViewOf(owner);
  DialogView& view = Attach(page, ownerView);
  if (ownerView) {
    // Pages are placed by their owner; a window with a title bar starts centred over it.
    const QRect o = ownerView->frameGeometry();
    if (view.IsInnerPage()) view.move(ownerView->mapFromGlobal(o.topLeft()));
    else if (!(page.Template().flags & dlg::kNoTitle))
      view.move(o.center() - QPoint(view.width() / 2, view.height() / 2));
    else view.move(o.topLeft());
  }
  view.show();
  view.raise();
  if (!view.IsInnerPage()) view.activateWindow();
  // The control the page's initialisation chose gets the focus, or else the first one that
  // takes the focus from the keyboard (never a label: that would count as leaving the page).
  QWidget* first = view.Control(page.Focus());
  for (QWidget* w = view.nextInFocusChain(); !first && w && w != &view; w = w->nextInFocusChain())
    if (view.isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() &&
        w->isVisibleTo(&view))
      first = w;
  if (first) first->setFocus(Qt::ActiveWindowFocusReason);
}

ScreenRect QtWindowHost::WindowRect(Dialog& d) {
  DialogView* v = ViewOf(d);
  if (!v) return {};
  QRect r = v->frameGeometry();
  // A page inside its owner's window has its rectangle on the screen all the same.
  if (v->IsInnerPage()) r.moveTopLeft(v->parentWidget()->mapToGlobal(r.topLeft()));
  return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void QtWindowHost::MoveWindow(Dialog& d, int left, int top) {
  DialogView* v = ViewOf(d);
  if (!v) return;
  if (v->IsInnerPage()) v->move(v->parentWidget()->mapFromGlobal(QPoint(left, top)));
  else v->move(left, top);
}

void QtWindowHost::Repaint(Dialog& d, bool) {
  if (DialogView* v = ViewOf(d)) v->update();
}

void QtWindowHost::Post(std::function<void()> fn) {
  bool queue = false;
  {
    std::lock_guard<std::mutex> lock(postedMutex_);
    posted_.push_back(std::move(fn));
    queue = !drainQueued_;
    drainQueued_ = true;
  }
  if (queue) QMetaObject::invokeMethod(&context_, [this] { RunPosted(); }, Qt::QueuedConnection);
}

void QtWindowHost::RunPosted() {
  for (;;) {
    std::function<void()> fn;
    {
      std::lock_guard<std::mutex> lock(postedMutex_);
      if (posted_.empty() || Waiting() || !ticking_.empty()) {
        // Inside a wait the closures stay queued; LeaveWait asks for them again.
        drainQueued_ = false;
        return;
      }
      fn = std::move(posted_.front());
      posted_.pop_front();
    }
    fn();
  }
}

void QtWindowHost::LeaveWait() {
  if (--waitDepth_ > 0) return;
  ResumeTimers();
  ResumePosted();
}

void QtWindowHost::ResumePosted() {
  if (Waiting()) return;
  bool queue = false;
  {
    std::lock_guard<std::mutex> lock(postedMutex_);
    queue = !posted_.empty() && !drainQueued_;
    drainQueued_ = drainQueued_ || queue;
  }
  if (queue) QMetaObject::invokeMethod(&context_, [this] { RunPosted(); }, Qt::QueuedConnection);
}

}  // namespace tessvar::qt
