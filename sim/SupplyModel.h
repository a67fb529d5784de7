// A model of the bench supply behind its serial protocol: a test instrument, small and
// deterministic. Time is whatever the caller says it is (milliseconds on any monotonic scale).
//
// Reply layouts (1-based positions, every reply starts with the echo of the line and its CR):
//   GMAX  "GMAX\r" VVV III "0" "OK"         14 chars; the three after the limits are a reserved
//                                            digit "0" and "OK"
//   GETD  "GETD\r" VVV III M "OK"            14 chars; M = 0 C.V., 1 C.C., 2/3 with a program
//   VOLT/CURR/STOP/PROP/RUNP/PROM/RUNM       echo + "OK"
//   GETP  "GETP\r" + 10 x (index digit, VVV, III, MM, SS, ";") + "OK"   127 chars
//   GETM0 "GETM0\r" + 9 x (VVV III ";") + "OK"                         71 chars
//   SESS/ENDS and unknown lines: echo only.
// SRST makes the supply silent (no echo either) for 10 s (resetSilenceMs).
#pragma once

#include "SimLoad.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <array>

struct SupplyFaults {
    bool silent = false;  // no answer at all, not even the echo
    QByteArray scope;     // command words ("VOLT,CURR") the faults apply to; empty = all
    int answerFrom = 1;   // answer only from the k-th request of a command word on
    int cutChars = 0;     // drop this many characters from the end of each reply
    QByteArray extra;     // characters appended to each reply
    bool garbage = false; // answer after the echo replaced by non-digits, NUL and bytes > 127
    int unplugAfter = 0;  // lines handled before the port disappears; 0 = never
    int unplugAt = 0; // the port disappears on this line (of the scope's words), unanswered; 0 = never
};

class SupplyModel {
public:
    struct Step {
        int deciVolt = 0, centiAmp = 0, minutes = 0, seconds = 0;
    };

    SupplyModel();

    // Feeds received characters; returns what the supply sends back (possibly nothing).
    QByteArray Receive(const QByteArray &bytes, qint64 nowMs);

    SupplyFaults faults;
    // Faults from now on: the attempt counts and the unplug count start afresh.
    void SetFaults(const SupplyFaults &f) {
        faults = f;
        counts_.clear();
        linesHandled_ = scopedLines_ = 0;
    }
    qint64 resetSilenceMs = 10000; // SRST: how long the supply stays silent
    float maxVolt = 30.0f;
    float maxCurr = 3.00f;
    float loadOhm = 10.0f;
    // Resistances that take over at their times, counted from the first reading asked for.
    std::vector<SimLoad::Step> loadSchedule;
    std::optional<SimLoad::Cell> cell; // a cell to charge instead of a resistor

    // Inspection for tests and the log.
    bool remote() const { return remote_; }
    bool unplugged() const { return unplugged_; }
    // The adapter is back: the port can be opened again and stays (no unplug fault any more).
    void PlugIn() {
        unplugged_ = false;
        faults.unplugAfter = faults.unplugAt = 0;
    }
    bool programRunning(qint64 nowMs);
    float setVolt() const { return setVolt_; }
    float setCurr() const { return setCurr_; }
    const Step &programStep(int i) const { return program_[i]; }
    const std::array<std::pair<int, int>, 9> &memories() const { return memories_; }
    int requestsOf(const QByteArray &word) const { return counts_.value(word); }

    struct Output {
        float volt, curr;
        bool constantCurrent;
    };
    Output output(qint64 nowMs);

private:
    QByteArray handleLine(const QByteArray &line, qint64 nowMs);
    QByteArray answer(const QByteArray &line, qint64 nowMs);
    QByteArray applyFaults(const QByteArray &echo, QByteArray answer);
    bool activeStep(qint64 nowMs, Step *step);

    QByteArray pending_;
    QHash<QByteArray, int> counts_;
    int linesHandled_ = 0, scopedLines_ = 0;
    bool unplugged_ = false;
    bool remote_ = false;
    qint64 silentUntilMs_ = -1;
    float setVolt_ = 0, setCurr_ = 3.0f; // a fresh supply limits at its full current
    std::array<Step, 10> program_{};
    bool running_ = false;
    int runCycles_ = 0;
    qint64 runStartMs_ = 0;
    std::optional<qint64> loadOriginMs_;
    std::array<std::pair<int, int>, 9> memories_{}; // deci-volts, centi-amps
};
