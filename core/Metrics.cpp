#include "Metrics.h"

#include <QStringList>
#include <cmath>

namespace Metrics {

namespace {

QByteArray Number(double v) {
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "+Inf" : "-Inf";
    return QByteArray::number(v, 'g', 12);
}

// A label's value as both formats escape it: backslash, double quote and line feed.
QByteArray Label(const QString &value) {
    QByteArray out;
    for (const char c : value.toUtf8()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

class Writer {
public:
    explicit Writer(Format f) : f_(f) {}
    enum class Type { Gauge, Counter, Info };
    // One metric family: its HELP and TYPE, then its samples (name without _total or _info).
    void Family(const char *name, Type type, const char *help) {
        const QByteArray base(name);
        // The text format names a counter's family by its sample, OpenMetrics without the suffix.
        const QByteArray family = f_ == Format::Text && type == Type::Counter ? base + "_total"
                                  : f_ == Format::Text && type == Type::Info  ? base + "_info"
                                                                             : base;
        const char *word = type == Type::Counter ? "counter"
                           : type == Type::Info && f_ == Format::OpenMetrics ? "info"
                                                                             : "gauge";
        out_ += "# HELP " + family + ' ' + help + '\n';
        out_ += "# TYPE " + family + ' ' + word + '\n';
        name_ = base + (type == Type::Counter ? "_total" : type == Type::Info ? "_info" : "");
    }
    // A gauge of one sample, left out when the value is not known (never given as 0).
    template <typename V>
    void Known(const char *name, const char *help, const std::optional<V> &value) {
        if (!value)
            return;
        Family(name, Type::Gauge, help);
        Sample(double(*value));
    }
    void Sample(double value, const QByteArray &labels = {}) {
        out_ += name_ + (labels.isEmpty() ? QByteArray() : '{' + labels + '}') + ' ' +
                Number(value) + '\n';
    }
    QByteArray Done() {
        if (f_ == Format::OpenMetrics)
            out_ += "# EOF\n";
        return out_;
    }

private:
    Format f_;
    QByteArray out_, name_;
};

} // namespace

Format Negotiate(const QByteArray &accept) {
    return accept.contains("application/openmetrics-text") ? Format::OpenMetrics : Format::Text;
}

QByteArray ContentType(Format f) {
    return f == Format::OpenMetrics ? "application/openmetrics-text; version=1.0.0; charset=utf-8"
                                    : "text/plain; version=0.0.4; charset=utf-8";
}

QByteArray Exposition(const Snapshot &s, Format f) {
    using T = Writer::Type;
    Writer w(f);
    w.Family("qvr", T::Info, "The program, its port and the bench's name.");
    w.Sample(1, "version=\"" + Label(s.version) + "\",port=\"" + Label(s.port) + "\",bench=\"" +
                    Label(s.bench) + '"');
    w.Family("qvr_link_up", T::Gauge, "1 while the supply answers on its port.");
    w.Sample(s.linkUp ? 1 : 0);
    w.Family("qvr_link_losses", T::Counter, "Times the link to the supply was lost.");
    w.Sample(double(s.linkLosses));
    w.Family("qvr_polls", T::Counter, "Readings asked of the supply (GETD).");
    w.Sample(double(s.polls));
    w.Family("qvr_poll_failures", T::Counter, "Readings asked that brought no reading.");
    w.Sample(double(s.pollFailures));
    w.Known("qvr_output_voltage_volts", "The output voltage the last poll read.", s.volts);
    w.Known("qvr_output_current_amperes", "The output current the last poll read.", s.amps);
    w.Known("qvr_regulation_constant_current",
            "1 in C.C. (the current limit holds the output), 0 in C.V.", s.constantCurrent);
    w.Known("qvr_setpoint_voltage_volts", "The voltage setpoint last sent.", s.setVolts);
    w.Known("qvr_setpoint_current_amperes", "The current setpoint last sent.", s.setAmps);
    w.Known("qvr_supply_max_voltage_volts", "The supply's maximum voltage.", s.maxVolts);
    w.Known("qvr_supply_max_current_amperes", "The supply's maximum current.", s.maxAmps);
    w.Family("qvr_charge_coulombs", T::Counter, "Charge delivered since QVR started.");
    w.Sample(s.coulombs);
    w.Family("qvr_energy_joules", T::Counter, "Energy delivered since QVR started.");
    w.Sample(s.joules);
    w.Family("qvr_program_running", T::Gauge, "1 for where a program runs.");
    for (const char *where : {"internal", "external", "preset"})
        w.Sample(s.running == QLatin1String(where) ? 1 : 0,
                 QByteArray("where=\"") + where + '"');
    w.Known("qvr_program_step", "The external program's step.", s.step);
    w.Family("qvr_recording_active", T::Gauge, "1 while the Data Log records to a file.");
    w.Sample(s.recording ? 1 : 0);
    w.Known("qvr_recording_bytes", "The size of the recording's file.", s.recordingBytes);
    w.Family("qvr_guard_state", T::Gauge, "1 for the guards' state: armed, done or tripped.");
    using Guards::State;
    for (const auto &[state, word] : {std::pair{State::Armed, "armed"},
                                      std::pair{State::Done, "done"},
                                      std::pair{State::Tripped, "tripped"}})
        w.Sample(s.guard == state ? 1 : 0, QByteArray("state=\"") + word + '"');
    return w.Done();
}

} // namespace Metrics
