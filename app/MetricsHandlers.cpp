// The window's side of the monitoring endpoint: on and off, remembered, and what it publishes.
#include "Comm1.h"
#include "Module1.h"
#include "TabbedFrm.h"
#include "MetricsServer.h"
#include "Tables.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QStatusBar>
#include <QSysInfo>
#include <cstdio>

Metrics::Snapshot TabbedFrm::MetricsSnapshot() const {
    Metrics::Snapshot s;
    s.version = QStringLiteral(QVR_VERSION);
    s.port = QString::number(comm1_.CommPort());
    s.bench = benchName_.isEmpty() ? QSysInfo::machineHostName() + u':' + s.port : benchName_;
    s.linkUp = supply.Connected();
    const Supply::Output &r = supply.Last();
    if (s.linkUp && r.volts >= 0 && r.amps >= 0)
        s.volts = r.volts, s.amps = r.amps;
    if (s.linkUp && !r.mode.isEmpty())
        s.constantCurrent = r.mode == u"CC";
    if (const auto v = supply.SetVolts())
        s.setVolts = *v;
    if (const auto a = supply.SetAmps())
        s.setAmps = *a;
    if (Module1::MaxVolt > 0)
        s.maxVolts = Module1::MaxVolt;
    if (Module1::MaxCurr > 0)
        s.maxAmps = Module1::MaxCurr;
    const Supply::Tally &t = supply.Counted();
    s.polls = t.polls, s.pollFailures = t.pollFailures, s.linkLosses = t.linkLosses;
    s.coulombs = t.ah.total * 3600, s.joules = t.wh.total * 3600;
    switch (supply.Running().where) {
    case Supply::Where::Internal:
        s.running = QStringLiteral("internal");
        break;
    case Supply::Where::External:
        s.running = QStringLiteral("external");
        s.step = supply.Running().step;
        break;
    case Supply::Where::Idle:
        if (pages_.RecalledMemory)
            s.running = QStringLiteral("preset");
        break;
    }
    s.recording = !supply.RecordingFile().isEmpty();
    if (s.recording)
        s.recordingBytes = QFileInfo(supply.RecordingFile()).size();
    s.guard = supply.Guard().Now();
    return s;
}

QString TabbedFrm::SetMetrics(bool on, const QString &address, quint16 port, bool remember) {
    const QHostAddress host(address);
    if (on && host.isNull())
        return QStringLiteral("\"%1\" is not an IP address to publish readings on.").arg(address);
    if (remember) {
        try {
            SettingsTable::RememberRecord(db_, SettingsTable::MetricsRecord,
                                          on ? QStringLiteral("1") : QStringLiteral("0"));
            SettingsTable::RememberRecord(db_, SettingsTable::MetricsAddressRecord, address);
            SettingsTable::RememberRecord(db_, SettingsTable::MetricsPortRecord,
                                          QString::number(port));
        } catch (const StoreError &e) {
            std::fprintf(stderr, "qvr: %s\n", e.what()); // it holds for this session
        }
    }
    metricsAddress_ = address;
    metricsPort_ = port;
    delete metrics; // a new address or port: listen anew, once the old one is let go
    metrics = nullptr;
    if (!on)
        return {};
    auto *server = new MetricsServer([this] { return MetricsSnapshot(); }, this);
    if (QString why = server->Listen(host, port); !why.isEmpty()) {
        delete server;
        return why;
    }
    metrics = server;
    statusBar()->showMessage(QStringLiteral("Publishing readings on http://%1:%2/metrics")
                                 .arg(host.protocol() == QAbstractSocket::IPv6Protocol
                                          ? u'[' + address + u']'
                                          : address)
                                 .arg(server->Port()),
                             TellMs);
    return {};
}

void TabbedFrm::SetBenchName(const QString &name, bool remember) {
    benchName_ = name.trimmed().left(50); // the settings table's field
    if (!remember)
        return;
    try {
        SettingsTable::RememberRecord(db_, SettingsTable::BenchNameRecord, benchName_);
    } catch (const StoreError &e) {
        std::fprintf(stderr, "qvr: %s\n", e.what());
    }
}

void TabbedFrm::LoadMetrics() {
    try {
        benchName_ = SettingsTable::ReadRecord(db_, SettingsTable::BenchNameRecord).value_or(QString());
        if (const auto a = SettingsTable::ReadRecord(db_, SettingsTable::MetricsAddressRecord))
            metricsAddress_ = *a;
        const auto port = SettingsTable::ReadRecord(db_, SettingsTable::MetricsPortRecord);
        if (const int n = port ? port->toInt() : 0; n > 0 && n < 65536)
            metricsPort_ = quint16(n);
        if (SettingsTable::ReadRecord(db_, SettingsTable::MetricsRecord) == QStringLiteral("1"))
            if (const QString why = SetMetrics(true, metricsAddress_, metricsPort_, false);
                !why.isEmpty())
                statusBar()->showMessage(why);
    } catch (const StoreError &) {
        // no settings table: the endpoint stays off
    }
}
