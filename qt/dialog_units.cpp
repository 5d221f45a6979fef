#include "qt/dialog_units.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QString>

namespace tessvar::qt {

namespace {
// Rounds to nearest like the classic MulDiv, also for negative coordinates.
int MulDiv(int value, int mul, int div) {
  const long long p = static_cast<long long>(value) * mul;
  return static_cast<int>(p >= 0 ? (p + div / 2) / div : -((-p + div / 2) / div));
}
}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics fm(font);
  static const QString kAlphabet =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  baseX_ = std::max(1, (fm.horizontalAdvance(kAlphabet) / 26 + 1) / 2);
  baseY_ = std::max(1, fm.height());
}

int DialogUnits::X(int du) const { return MulDiv(du, baseX_, 4); }
int DialogUnits::Y(int du) const { return MulDiv(du, baseY_, 8); }

QRect DialogUnits::ToPixels(const DialogRect& r) const {
  const int left = X(r.x), top = Y(r.y);
  // Both edges are mapped so that neighbouring controls meet without gaps.
  return QRect(QPoint(left, top), QPoint(X(r.x + r.width) - 1, Y(r.y + r.height) - 1));
}

QFont TemplateFont(const DialogTemplate& tmpl) {
  QFont font = QApplication::font();
  if (!tmpl.fontName.empty()) {
    QFont asked(QString::fromUtf8(tmpl.fontName.data(), static_cast<qsizetype>(tmpl.fontName.size())));
    if (QFontInfo(asked).family().compare(asked.family(), Qt::CaseInsensitive) == 0) font = asked;
  }
  if (tmpl.fontPoints > 0) font.setPointSize(tmpl.fontPoints);
  return font;
}

}  // namespace tessvar::qt
