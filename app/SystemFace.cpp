#include "SystemFace.h"

#include <QApplication>
#include <QFontInfo>
#include <optional>

namespace SystemFace {

#ifdef Q_OS_WIN
namespace {
// The first of `faces` the system actually has (the face matched decides, not the name asked
// for), on `base`; nothing when it has none of them.
std::optional<QFont> FirstPresent(QFont base, const QStringList &faces) {
    for (const QString &face : faces) {
        base.setFamily(face);
        if (QFontInfo(base).family().compare(face, Qt::CaseInsensitive) == 0)
            return base;
    }
    return std::nullopt;
}
} // namespace
#endif

void Apply() {
#ifdef Q_OS_WIN
    if (const auto font = FirstPresent(QApplication::font(),
                                       {"Segoe UI", "Tahoma", "DejaVu Sans", "Liberation Sans"}))
        QApplication::setFont(*font);
#endif
}

QFont Fixed() {
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::Monospace);
#ifdef Q_OS_WIN
    if (const auto present =
            FirstPresent(font, {"Consolas", "DejaVu Sans Mono", "Liberation Mono"}))
        return *present;
#endif
    return font;
}

} // namespace SystemFace
