// Export of a sample store as a tab-separated file that spreadsheet programs open directly.
#pragma once

#include <QByteArray>
#include <QString>

class SampleStore;

namespace LogExport {

// The header line, then one line per slot from the newest up to the last one holding a sample;
// an empty slot before it gives its time alone. CR LF ends every line.
QByteArray Text(const SampleStore &store, qint64 intervalMs);
// The dialog's answer with the extension of its file name replaced by ".xls"; folders keep
// their dots.
QString XlsPath(const QString &chosen);
// Writes beside the target and renames it into place when complete, so a failure leaves any
// earlier file whole. Throws std::runtime_error with the system's description.
void Write(const QString &path, const QByteArray &text);

} // namespace LogExport
