// The window's face, where the system's default is a poor one.
#pragma once

#include <QFont>

namespace SystemFace {

// On Windows, Segoe UI; Wine has neither it nor "MS Shell Dlg", which there becomes a serif
// face, so the sans face of the Linux build then. Elsewhere the system's own, untouched.
void Apply();
// A fixed-width face for the readouts: Consolas on Windows (the sans mono of the Linux build
// under Wine, where "Courier New" is missing and becomes a serif face); Monospace elsewhere.
QFont Fixed();

} // namespace SystemFace
