#pragma once
// The application's style with its fixed-size parts shrunk by a factor: the check box and
// radio indicators and the drop-down arrow of a list. A window whose font was shrunk to fit
// the screen uses it, so those parts shrink with the text instead of eating the captions.
#include <QProxyStyle>

namespace tessvar::qt {

class ScaledStyle : public QProxyStyle {
 public:
  // One style per factor (in percent), owned by the application.
  static QStyle* For(qreal scale);

  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override;
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                       SubControl sub, const QWidget* widget) const override;

 private:
  explicit ScaledStyle(qreal scale);
  qreal scale_;
};

}  // namespace tessvar::qt
