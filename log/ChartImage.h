// The chart saved as an image: PNG, SVG or PDF by the file's extension, drawn as the printed
// page is, and written through a temporary file renamed into place. A build without Qt SVG
// (Windows) offers PNG and PDF, and takes ".svg" for a name without a known extension.
#pragma once

#include "LogPrint.h"

#include <QSize>
#include <functional>

namespace ChartImage {

enum class Format { Png, Svg, Pdf };
// The save dialog's filter: the formats this build writes.
QString Filter();
// The format of a path's extension (any letter case); a path without a known one gets ".png".
Format FormatOf(QString &path);
// Throws std::runtime_error "Cannot write <path>: <reason>"; an existing file stays whole.
void Write(const QString &path, const LogPrint::Page &page);
// Any drawing written the same way: `draw` fills the area it is given (device units), an image
// of `pixels` or an A4 page.
void Write(const QString &path, const QString &title, QSize pixels,
           const std::function<void(QPainter &, const QRect &)> &draw);

} // namespace ChartImage
