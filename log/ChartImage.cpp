#include "ChartImage.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#ifndef QVR_NO_SVG
#include <QSvgGenerator>
#endif
#include <stdexcept>

namespace ChartImage {

namespace {
// A chart larger than on screen, 5 parts wide to 4 high with room for the text, that still
// writes quickly.
const QSize Pixels(1200, 1125);
} // namespace

QString Filter() {
#ifdef QVR_NO_SVG
    return QStringLiteral("PNG image (*.png);;PDF document (*.pdf)");
#else
    return QStringLiteral("PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)");
#endif
}

Format FormatOf(QString &path) {
    const QString ext = QFileInfo(path).suffix().toLower();
#ifndef QVR_NO_SVG
    if (ext == u"svg")
        return Format::Svg;
#endif
    if (ext == u"pdf")
        return Format::Pdf;
    if (ext != u"png")
        path += QStringLiteral(".png");
    return Format::Png;
}

void Write(const QString &path, const LogPrint::Page &page) {
    Write(path, page.description, Pixels,
          [&page](QPainter &p, const QRect &area) { LogPrint::Draw(p, area, page); });
}

void Write(const QString &path, const QString &title, QSize pixels,
           const std::function<void(QPainter &, const QRect &)> &draw) {
    QString target = path;
    const Format format = FormatOf(target);
    QSaveFile file(target);
    const auto fail = [&](const QString &reason) {
        file.cancelWriting();
        throw std::runtime_error(
            QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(target), reason).toStdString());
    };
    if (!file.open(QIODevice::WriteOnly))
        fail(file.errorString());
    bool drawn = false;
    if (format == Format::Png) {
        QImage image(pixels, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        draw(p, image.rect().adjusted(40, 40, -40, -40));
        p.end();
        drawn = image.save(&file, "PNG",
                           80); // light compression: a chart of flat colours packs well anyway
    } else if (format == Format::Svg) {
#ifndef QVR_NO_SVG
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(pixels);
        svg.setViewBox(QRect(QPoint(0, 0), pixels));
        svg.setTitle(title);
        QPainter p;
        drawn = p.begin(&svg);
        if (drawn) {
            draw(p, QRect(QPoint(40, 40), pixels - QSize(80, 80)));
            drawn = p.end();
        }
#endif
    } else {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        pdf.setTitle(title);
        QPainter p;
        drawn = p.begin(&pdf);
        if (drawn) {
            const QSize area = pdf.pageLayout().paintRectPixels(pdf.resolution()).size();
            draw(p, QRect(QPoint(0, 0), area));
            drawn = p.end();
        }
    }
    if (!drawn || file.error() != QFileDevice::NoError)
        fail(file.error() != QFileDevice::NoError ? file.errorString()
                                                  : QStringLiteral("the image could not be drawn"));
    if (!file.commit())
        fail(file.errorString());
}

} // namespace ChartImage
