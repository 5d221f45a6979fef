#pragma once
// The few controls of dialog templates that Qt has no single widget for.
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

namespace tessvar::qt {

// Static text that reports a click (the page tabs of the main window).
class ClickableLabel : public QLabel {
 public:
  using QLabel::QLabel;
  std::function<void()> onClick;

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
};

// Up and down arrows without an edit of their own; `onStep` gets +1 or -1.
class SpinArrows : public QWidget {
 public:
  explicit SpinArrows(QWidget* parent);
  std::function<void(int)> onStep;
  QToolButton* Up() const { return up_; }
  QToolButton* Down() const { return down_; }

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  QToolButton* up_;
  QToolButton* down_;
};

// Four octet fields with dots between them. The address is first octet most significant;
// `onEdited` gets the address after every change the user makes.
class Ipv4Edit : public QFrame {
 public:
  explicit Ipv4Edit(QWidget* parent);
  void SetAddress(uint32_t address);
  uint32_t Address() const;
  QLineEdit* Octet(int i) const { return octets_[static_cast<size_t>(i)]; }
  std::function<void(uint32_t)> onEdited;

 protected:
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::array<QLineEdit*, 4> octets_{};
  std::array<QLabel*, 3> dots_{};
};

// Breaks `text` into lines that fit `width` pixels with the widget's font, at spaces; a
// single word wider than the width stays whole. Buttons of Qt do not wrap by themselves.
QString WrapToWidth(const QString& text, const QFontMetrics& fm, int width);

}  // namespace tessvar::qt
