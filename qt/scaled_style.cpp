#include "qt/scaled_style.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOptionComplex>
#include <algorithm>
#include <cmath>
#include <map>

namespace tessvar::qt {

QStyle* ScaledStyle::For(qreal scale) {
  static std::map<int, QStyle*> made;
  const int percent = static_cast<int>(std::lround(scale * 100));
  QStyle*& style = made[percent];
  if (!style) {
    style = new ScaledStyle(percent / 100.0);
    style->setParent(qApp);  // lives as long as the application
  }
  return style;
}

// A fresh copy of the application's style as the base: a proxy takes ownership of its base.
ScaledStyle::ScaledStyle(qreal scale)
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name())), scale_(scale) {}

int ScaledStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                             const QWidget* widget) const {
  const int base = QProxyStyle::pixelMetric(metric, option, widget);
  switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
    case PM_CheckBoxLabelSpacing:
    case PM_RadioButtonLabelSpacing:
      return std::max(metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing ? 2 : 7,
                      static_cast<int>(std::lround(base * scale_)));
    default:
      return base;
  }
}

QRect ScaledStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                  SubControl sub, const QWidget* widget) const {
  QRect r = QProxyStyle::subControlRect(control, option, sub, widget);
  if (control != CC_ComboBox || !option) return r;
  // The arrow button narrows with the text; the edit field takes what it gives up.
  const QRect arrow = QProxyStyle::subControlRect(control, option, SC_ComboBoxArrow, widget);
  const int narrower = arrow.width() - std::max(8, static_cast<int>(std::lround(arrow.width() * scale_)));
  if (narrower <= 0) return r;
  const bool rtl = option->direction == Qt::RightToLeft;
  if (sub == SC_ComboBoxArrow) {
    if (rtl) r.setRight(r.right() - narrower);
    else r.setLeft(r.left() + narrower);
  } else if (sub == SC_ComboBoxEditField) {
    if (rtl) r.setLeft(r.left() - narrower);
    else r.setRight(r.right() + narrower);
  }
  return r;
}

}  // namespace tessvar::qt
