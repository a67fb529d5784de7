// The window's face, where the system's default is a poor one.
#pragma once

namespace SystemFace {

// On Windows, Segoe UI; Wine has neither it nor "MS Shell Dlg", which there becomes a serif
// face, so the sans face of the Linux build then. Elsewhere the system's own, untouched.
void Apply();

} // namespace SystemFace
