// A stretch of a recording taken out as a file of its own: the recording's header, then its
// lines whose time lies in the stretch, byte for byte as the file holds them.
#pragma once

#include <QString>

namespace History {

class RecordedRun;

// Throws std::runtime_error "Cannot open <path>: ..." or "Cannot write <path>: ..."; an
// existing target stays whole on failure. Returns the lines written after the header.
qint64 WriteStretch(const RecordedRun &run, const QString &target, double from, double to);

} // namespace History
