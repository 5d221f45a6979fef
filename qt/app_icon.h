#pragma once
#include <QIcon>

namespace tessvar::qt {

// The application icon: a measuring dial with two traces, drawn at every size asked for.
QIcon AppIcon();

}  // namespace tessvar::qt
