#include "SupplyModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

QByteArray digits(float value, int scale, int width = 3) {
    long n = std::lround(std::max(0.0f, value) * float(scale));
    n = std::min(n, width == 3 ? 999L : 99L);
    char buf[24];
    std::snprintf(buf, sizeof buf, "%0*ld", width, n);
    return QByteArray(buf);
}

int number(const QByteArray &text) {
    return text.toInt();
}

} // namespace

SupplyModel::SupplyModel() = default;

QByteArray SupplyModel::Receive(const QByteArray &bytes, qint64 nowMs) {
    QByteArray out;
    for (char c : bytes) {
        if (unplugged_)
            break;
        pending_ += c;
        if (c == '\r') {
            out += handleLine(pending_.chopped(1), nowMs);
            pending_.clear();
        }
    }
    return out;
}

QByteArray SupplyModel::handleLine(const QByteArray &line, qint64 nowMs) {
    const QByteArray word = line.startsWith("GETM") ? line.left(5) : line.left(4);
    const int count = ++counts_[word];
    ++linesHandled_;
    const bool inScope = faults.scope.isEmpty() || faults.scope.split(',').contains(word);
    scopedLines_ += inScope;
    // With --only, the count is of those words' lines: the port can go under one command.
    if (faults.unplugAt > 0 && scopedLines_ >= faults.unplugAt) {
        unplugged_ = true;
        return {};
    }
    if (faults.unplugAfter > 0 && linesHandled_ >= faults.unplugAfter)
        unplugged_ = true;
    if (nowMs < silentUntilMs_)
        return {};
    if (inScope && (faults.silent || count < faults.answerFrom))
        return {};
    const QByteArray echo = line + '\r';
    QByteArray reply = answer(line, nowMs);
    return inScope ? applyFaults(echo, reply) : echo + reply;
}

QByteArray SupplyModel::applyFaults(const QByteArray &echo, QByteArray answer) {
    if (faults.garbage) {
        // What a line with noise delivers: no digit, a NUL, bytes of no character set.
        static const char pattern[] = {'#', '?', 'X', '\0', '\xb5', '\xff'};
        for (int i = 0; i < answer.size(); ++i)
            answer[i] = pattern[i % int(sizeof pattern)];
    }
    QByteArray reply = echo + answer + faults.extra;
    reply.chop(std::min<int>(faults.cutChars, int(reply.size())));
    return reply;
}

QByteArray SupplyModel::answer(const QByteArray &line, qint64 nowMs) {
    const QByteArray args = line.mid(4);
    if (line == "GMAX")
        return digits(maxVolt, 10) + digits(maxCurr, 100) + "0OK";
    if (line == "GETD") {
        const Output o = output(nowMs);
        const int mode = (o.constantCurrent ? 1 : 0) + (programRunning(nowMs) ? 2 : 0);
        return digits(o.volt, 10) + digits(o.curr, 100) + QByteArray::number(mode) + "OK";
    }
    if (line.startsWith("VOLT")) {
        setVolt_ = std::min(number(args) / 10.0f, maxVolt);
        return "OK";
    }
    if (line.startsWith("CURR")) {
        setCurr_ = std::min(number(args) / 100.0f, maxCurr);
        return "OK";
    }
    if (line == "SESS" || line == "ENDS") {
        remote_ = line == "SESS";
        return {};
    }
    if (line == "SRST") {
        silentUntilMs_ = nowMs + resetSilenceMs;
        running_ = false;
        setVolt_ = 0;
        return {};
    }
    if (line == "STOP") {
        running_ = false;
        return "OK";
    }
    if (line.startsWith("PROP") && args.size() == 11) {
        Step &s = program_[std::clamp(number(args.left(1)), 0, 9)];
        s = {number(args.mid(1, 3)), number(args.mid(4, 3)), number(args.mid(7, 2)),
             number(args.mid(9, 2))};
        return "OK";
    }
    if (line == "GETP") {
        QByteArray data;
        for (int i = 0; i < 10; ++i) {
            const Step &s = program_[i];
            data += QByteArray::number(i) + digits(s.deciVolt / 10.0f, 10) +
                    digits(s.centiAmp / 100.0f, 100) + digits(float(s.minutes), 1, 2) +
                    digits(float(s.seconds), 1, 2) + ';';
        }
        return data + "OK";
    }
    if (line.startsWith("RUNP")) {
        runCycles_ = std::max(0, number(args));
        runStartMs_ = nowMs;
        running_ = true;
        return "OK";
    }
    if (line.startsWith("PROM") && args.size() == 7) {
        const int k = number(args.left(1));
        if (k >= 1 && k <= 9)
            memories_[k - 1] = {number(args.mid(1, 3)), number(args.mid(4, 3))};
        return "OK";
    }
    if (line.startsWith("RUNM")) {
        const int k = number(args);
        if (k >= 1 && k <= 9) {
            setVolt_ = std::min(memories_[k - 1].first / 10.0f, maxVolt);
            setCurr_ = std::min(memories_[k - 1].second / 100.0f, maxCurr);
        }
        return "OK";
    }
    if (line == "GETM0") {
        QByteArray data;
        for (const auto &[dv, ca] : memories_)
            data += digits(dv / 10.0f, 10) + digits(ca / 100.0f, 100) + ';';
        return data + "OK";
    }
    return {};
}

bool SupplyModel::activeStep(qint64 nowMs, Step *step) {
    if (!running_)
        return false;
    qint64 totalMs = 0;
    for (const Step &s : program_)
        totalMs += (s.minutes * 60 + s.seconds) * 1000LL;
    const qint64 elapsed = nowMs - runStartMs_;
    if (totalMs == 0 || (runCycles_ > 0 && elapsed >= totalMs * runCycles_)) {
        running_ = false;
        return false;
    }
    qint64 t = elapsed % totalMs;
    for (const Step &s : program_) {
        const qint64 len = (s.minutes * 60 + s.seconds) * 1000LL;
        if (t < len) {
            *step = s;
            return true;
        }
        t -= len;
    }
    return false;
}

bool SupplyModel::programRunning(qint64 nowMs) {
    Step s;
    return activeStep(nowMs, &s);
}

SupplyModel::Output SupplyModel::output(qint64 nowMs) {
    float v = setVolt_, i = std::min(setCurr_, maxCurr);
    Step s;
    if (activeStep(nowMs, &s)) {
        v = s.deciVolt / 10.0f;
        i = s.centiAmp / 100.0f;
    }
    if (cell) {
        const SimLoad::Flow f = cell->Feed(v, i, nowMs);
        return {f.volt, f.curr, f.constantCurrent};
    }
    if (!loadOriginMs_)
        loadOriginMs_ = nowMs;
    float ohm = loadOhm;
    for (const SimLoad::Step &s : loadSchedule)
        if (nowMs - *loadOriginMs_ >= s.fromMs)
            ohm = s.ohm;
    const SimLoad::Flow f = SimLoad::IntoResistor(v, i, ohm);
    return {f.volt, f.curr, f.constantCurrent};
}
