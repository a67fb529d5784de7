#include "SimComm1.h"

#include "PortSettings.h"

SimComm1::SimComm1(SupplyModel &model, Clock &clock, int charDelayUs)
    : model_(model), clock_(clock), charDelayUs_(charDelayUs) {}

void SimComm1::setCommPort(int port) {
    if (open_)
        throw CommError(QStringLiteral("Port already open"));
    port_ = port;
}

void SimComm1::setSettings(const QString &settings) {
    if (!PortSettings::parse(settings))
        throw CommError(QStringLiteral("Invalid port settings \"%1\"").arg(settings));
    settings_ = settings;
}

void SimComm1::setHandshaking(int mode) {
    if (mode < 0 || mode > 3)
        throw CommError(QStringLiteral("Invalid flow control mode %1").arg(mode));
    handshaking_ = mode;
}

void SimComm1::setPortOpen(bool open) {
    if (open && open_)
        throw CommError(QStringLiteral("Port already open"));
    if (open && (!existingPorts.contains(port_) || (port_ == supplyPort && model_.unplugged())))
        throw CommError(QStringLiteral("Cannot open serial port (port %1, sim%1): No such file or "
                                       "directory")
                            .arg(port_));
    open_ = open;
    rx_.clear();
}

void SimComm1::ensureUsable() {
    requireOpen();
    if (port_ == supplyPort && model_.unplugged()) {
        open_ = false;
        throw CommError(QStringLiteral("Serial port lost (port %1, sim%1)").arg(port_));
    }
}

void SimComm1::requireOpen() const {
    if (!open_)
        throw CommError(QStringLiteral("Port is not open"));
}

int SimComm1::InBufferCount() {
    requireOpen();
    const qint64 nowUs = clock_.MonotonicMs() * 1000;
    int n = 0;
    for (const auto &[at, c] : rx_) {
        if (at > nowUs)
            break;
        ++n;
    }
    return n;
}

void SimComm1::ClearInBuffer() {
    ensureUsable();
    events << QStringLiteral("clear-in");
    const qint64 nowUs = clock_.MonotonicMs() * 1000;
    while (!rx_.empty() && rx_.front().first <= nowUs)
        rx_.pop_front();
}

void SimComm1::ClearOutBuffer() {
    ensureUsable();
    events << QStringLiteral("clear-out");
}

void SimComm1::arrive(const QByteArray &bytes, qint64 firstArrivalUs) {
    qint64 at = std::max(firstArrivalUs, rx_.empty() ? 0 : rx_.back().first);
    for (char c : bytes) {
        rx_.emplace_back(at, c);
        at += charDelayUs_;
    }
}

void SimComm1::inject(const QByteArray &bytes) {
    arrive(bytes, clock_.MonotonicMs() * 1000);
}

void SimComm1::Output(const QByteArray &text) {
    ensureUsable();
    sent += text;
    events << QStringLiteral("out:") + QString::fromLatin1(text);
    if (port_ != supplyPort)
        return;
    // Each character reaches the supply one frame later; each reply character takes one more.
    const qint64 startUs = clock_.MonotonicMs() * 1000;
    for (int i = 0; i < text.size(); ++i) {
        const qint64 atSupplyUs = startUs + qint64(i + 1) * charDelayUs_;
        const QByteArray reply = model_.Receive(text.mid(i, 1), atSupplyUs / 1000);
        arrive(reply, atSupplyUs + charDelayUs_);
    }
}

QByteArray SimComm1::Input() {
    requireOpen();
    const int n = InBufferCount();
    QByteArray out;
    for (int i = 0; i < n; ++i) {
        out += rx_.front().second;
        rx_.pop_front();
    }
    events << QStringLiteral("in:") + QString::fromLatin1(out);
    return out;
}

bool SimComm1::WaitForChars(int count, int timeoutMs) {
    requireOpen();
    const qint64 startMs = clock_.MonotonicMs();
    if (count <= 0)
        return true;
    if (int(rx_.size()) >= count) {
        const qint64 readyMs = (rx_[count - 1].first + 999) / 1000;
        if (readyMs <= startMs + timeoutMs) {
            clock_.SleepMs(readyMs - startMs);
            return true;
        }
    }
    clock_.SleepMs(timeoutMs);
    return false;
}
