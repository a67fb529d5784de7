#include "LogExport.h"

#include "Module1.h"
#include "SampleStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <stdexcept>

using Module1::NumStr;

namespace LogExport {

QByteArray Text(const SampleStore &store, qint64 intervalMs) {
    QByteArray out = "Time(S)\tVoltage(V)\tCurrent(A)\r\n";
    int last = SampleStore::Slots;
    while (last > 0 && !store.Present(last))
        --last;
    out.reserve(out.size() + last * 24);
    for (int k = 1; k <= last; ++k) {
        out += NumStr(double(k - 1) * double(intervalMs) / 1000).toLatin1();
        if (!store.Present(k)) {
            out += "\t\t\t\r\n";
            continue;
        }
        const float curr = store.at(2, k);
        out += '\t' + NumStr(store.at(1, k)).toLatin1() + '\t';
        // A printed number: a blank where a positive number has no sign, and one after it.
        out += (curr < 0 ? '-' + NumStr(-curr) : ' ' + NumStr(curr)).toLatin1() + " \r\n";
    }
    return out;
}

QString XlsPath(const QString &chosen) {
    const QFileInfo info(chosen);
    const QString name = info.fileName();
    const qsizetype dot = name.indexOf(u'.');
    if (dot < 0)
        return chosen;
    const QString folder = chosen.left(chosen.size() - name.size());
    return folder + name.left(dot) + QStringLiteral(".xls");
}

void Write(const QString &path, const QByteArray &text) {
    QSaveFile file(path);
    auto fail = [&] {
        // A write that the system refused half way (a full disk) leaves Qt without words of
        // its own; the system's are in errno.
        const int code = errno;
        QString why = file.errorString();
        const auto error = file.error();
        if ((error == QFileDevice::NoError || error == QFileDevice::WriteError) && code != 0)
            why = QString::fromLocal8Bit(std::strerror(code));
        throw std::runtime_error(QStringLiteral("Cannot write %1: %2")
                                     .arg(QDir::toNativeSeparators(path), why)
                                     .toStdString());
    };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        fail();
    if (file.write(text) != text.size())
        fail();
    if (!file.commit())
        fail();
}

} // namespace LogExport
