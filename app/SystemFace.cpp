#include "SystemFace.h"

#include <QApplication>
#include <QFontInfo>

namespace SystemFace {

void Apply() {
#ifdef Q_OS_WIN
    // The face actually matched decides, not the name asked for.
    for (const QString face : {QStringLiteral("Segoe UI"), QStringLiteral("Tahoma"),
                               QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")}) {
        QFont font = QApplication::font();
        font.setFamily(face);
        if (QFontInfo(font).family().compare(face, Qt::CaseInsensitive) == 0) {
            QApplication::setFont(font);
            return;
        }
    }
#endif
}

} // namespace SystemFace
