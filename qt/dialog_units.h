#pragma once
// Dialog units to pixels, the way dialog templates have always been laid out: a horizontal
// unit is a quarter of the font's average character width, a vertical unit an eighth of its
// height. Taking both from the font that the window really uses keeps the arrangement of
// a template intact at any screen scaling and with any substitute font.
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

#include "ui/dialog_template.h"

namespace tessvar::qt {

class DialogUnits {
 public:
  DialogUnits() = default;
  DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}
  explicit DialogUnits(const QFont& font);

  // Pixels per four horizontal units and per eight vertical ones. They keep their fraction:
  // rounding them to whole pixels would make the text outgrow its controls at some scales.
  qreal BaseX() const { return baseX_; }
  qreal BaseY() const { return baseY_; }
  int X(int du) const;
  int Y(int du) const;
  QRect ToPixels(const DialogRect& r) const;
  QPoint ToPixels(int x, int y) const { return {X(x), Y(y)}; }

 private:
  qreal baseX_ = 6;
  qreal baseY_ = 13;
};

// The font a template asks for, or the application's font at the template's size when the
// asked family is not installed (the classic dialog fonts seldom are on Linux).
QFont TemplateFont(const DialogTemplate& tmpl);

// `font`, made smaller when needed so that a window of the template's size in dialog units
// (plus `frame`, the title bar and borders the window manager adds) fits `available`. The
// layout is in dialog units, so a smaller font shrinks the whole window evenly; the font
// never goes below a size that can still be read.
QFont FitFont(const QFont& font, const DialogTemplate& tmpl, const QSize& available,
              const QSize& frame);

}  // namespace tessvar::qt
