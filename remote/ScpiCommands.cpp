#include "ScpiCommands.h"

#include "Module1.h"
#include "Supply.h"

#include <QHash>

using Module1::Format;

namespace ScpiCommands {

void Client::Fail(int code, const QString &info) {
    errors.Push(code, info);
    if (code <= -100 && code > -200)
        esr |= 32;
    else if (code <= -200 && code > -300)
        esr |= 16;
    else if (code <= -300 && code > -400)
        esr |= 8;
    else if (code <= -400 && code > -500)
        esr |= 4;
}

namespace {

using Reply = std::optional<QByteArray>;

struct Context {
    const Scpi::Command &cmd;
    Client &client;
    Supply &supply;
    const QString &version;
};

// A refused request into the queue with the code its reason has.
bool Done(Context &c, const Supply::Result &r) {
    switch (r.refusal) {
    case Supply::Refusal::None:
        return true;
    case Supply::Refusal::NoSupply:
        c.client.Fail(-240, r.text);
        break;
    case Supply::Refusal::Conflict:
        c.client.Fail(-221, r.text);
        break;
    case Supply::Refusal::OutOfRange:
        c.client.Fail(-222, r.text);
        break;
    case Supply::Refusal::Failed:
        c.client.Fail(-200, r.text);
        break;
    }
    return false;
}

QByteArray Text(const QString &s) {
    return s.toUtf8();
}

QByteArray Quoted(const QString &s) {
    return '"' + QString(s).replace(u'"', QStringLiteral("\"\"")).toUtf8() + '"';
}

// The one number a setting command carries, in `unit`; -109/-104 queued when it has none.
std::optional<double> NumberParam(Context &c, const QString &unit) {
    if (c.cmd.params.size() != 1) {
        c.client.Fail(c.cmd.params.isEmpty() ? -109 : -108);
        return std::nullopt;
    }
    const auto n = Scpi::Number(c.cmd.params[0], unit);
    if (!n)
        c.client.Fail(-104);
    return n;
}

Reply Measured(Context &c, bool fresh, QByteArray (*f)(const Supply::Output &)) {
    if (fresh && !Done(c, c.supply.Measure()))
        return std::nullopt;
    const Supply::Output &r = c.supply.Last();
    if (!c.supply.Connected() || r.volts < 0 || r.amps < 0) {
        c.client.Fail(-240, QStringLiteral("no supply answers"));
        return std::nullopt;
    }
    return f(r);
}

QByteArray Volts(const Supply::Output &r) {
    return Text(Format(r.volts, QStringLiteral("0.0")));
}
QByteArray Amps(const Supply::Output &r) {
    return Text(Format(r.amps, QStringLiteral("0.00")));
}
QByteArray Watts(const Supply::Output &r) {
    return Text(Format(double(r.volts) * double(r.amps), QStringLiteral("0.000")));
}
QByteArray Mode(const Supply::Output &r) {
    return Text(r.mode.isEmpty() ? QStringLiteral("CV") : r.mode);
}

// PROG:INT:RUN "<table>",<cycles>
Reply RunProgram(Context &c, Supply::Where where) {
    const QStringList &p = c.cmd.params;
    if (p.size() != 2 || p[0].isEmpty()) {
        c.client.Fail(p.size() < 2 ? -109 : -108);
        return std::nullopt;
    }
    bool ok = false;
    const int cycles = p[1].toInt(&ok);
    if (!ok) {
        c.client.Fail(-104);
        return std::nullopt;
    }
    Done(c, c.supply.RunTable(where, p[0], cycles));
    return std::nullopt;
}

Reply RecordState(Context &c) {
    const QStringList &p = c.cmd.params;
    const QString on = p.value(0).toUpper();
    const bool start = on == QLatin1String("ON") || on == QLatin1String("1");
    if (p.isEmpty() || (!start && on != QLatin1String("OFF") && on != QLatin1String("0"))) {
        c.client.Fail(p.isEmpty() ? -109 : -104);
        return std::nullopt;
    }
    if (start && p.value(1).isEmpty()) {
        c.client.Fail(-109, QStringLiteral("the file to record to"));
        return std::nullopt;
    }
    Done(c, c.supply.Record(start, p.value(1)));
    return std::nullopt;
}

struct Entry {
    const char *pattern;
    bool query;
    Reply (*run)(Context &);
};

QByteArray Identity(Context &c) {
    const QString limits = Module1::MaxVolt > 0
                               ? QStringLiteral("%1V-%2A").arg(Module1::NumStr(Module1::MaxVolt),
                                                               Module1::NumStr(Module1::MaxCurr))
                               : QStringLiteral("0V-0A");
    return Text(QStringLiteral("QVR,%1,0,%2").arg(limits, c.version));
}

const Entry Table[] = {
    {"*IDN", true, [](Context &c) -> Reply { return Identity(c); }},
    {"*RST", false, [](Context &c) -> Reply { return Done(c, c.supply.Reset()), std::nullopt; }},
    {"*CLS", false,
     [](Context &c) -> Reply {
         c.client.errors.Clear();
         c.client.esr = 0;
         return std::nullopt;
     }},
    // Every command is carried out before its reply: each is complete when the next is read.
    {"*OPC", true, [](Context &) -> Reply { return QByteArray("1"); }},
    {"*OPC", false, [](Context &) -> Reply { return std::nullopt; }},
    {"*WAI", false, [](Context &) -> Reply { return std::nullopt; }},
    {"*ESR", true,
     [](Context &c) -> Reply {
         const int esr = c.client.esr;
         c.client.esr = 0;
         return QByteArray::number(esr);
     }},
    {"*STB", true,
     [](Context &c) -> Reply {
         return QByteArray::number((c.client.errors.Count() ? 4 : 0) | (c.client.esr ? 32 : 0));
     }},
    {"SYSTem:ERRor[:NEXT]", true, [](Context &c) -> Reply { return Text(c.client.errors.Next()); }},
    {"SYSTem:ERRor:COUNt", true,
     [](Context &c) -> Reply { return QByteArray::number(c.client.errors.Count()); }},
    {"SYSTem:VERSion", true, [](Context &) -> Reply { return QByteArray("1999.0"); }},
    {"[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]", false,
     [](Context &c) -> Reply {
         if (const auto v = NumberParam(c, QStringLiteral("V")))
             Done(c, c.supply.SetVoltage(*v));
         return std::nullopt;
     }},
    {"[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]", true,
     [](Context &c) -> Reply {
         return Text(Format(c.supply.SetVolts().value_or(0), QStringLiteral("0.0")));
     }},
    {"[SOURce:]CURRent[:LEVel][:IMMediate][:AMPLitude]", false,
     [](Context &c) -> Reply {
         if (const auto a = NumberParam(c, QStringLiteral("A")))
             Done(c, c.supply.SetCurrent(*a));
         return std::nullopt;
     }},
    {"[SOURce:]CURRent[:LEVel][:IMMediate][:AMPLitude]", true,
     [](Context &c) -> Reply {
         return Text(Format(c.supply.SetAmps().value_or(0), QStringLiteral("0.00")));
     }},
    {"MEASure[:SCALar]:VOLTage[:DC]", true,
     [](Context &c) -> Reply { return Measured(c, true, Volts); }},
    {"MEASure[:SCALar]:CURRent[:DC]", true,
     [](Context &c) -> Reply { return Measured(c, true, Amps); }},
    {"MEASure[:SCALar]:POWer[:DC]", true,
     [](Context &c) -> Reply { return Measured(c, true, Watts); }},
    {"MEASure[:SCALar]:MODE", true, [](Context &c) -> Reply { return Measured(c, true, Mode); }},
    {"FETCh[:SCALar]:VOLTage[:DC]", true,
     [](Context &c) -> Reply { return Measured(c, false, Volts); }},
    {"FETCh[:SCALar]:CURRent[:DC]", true,
     [](Context &c) -> Reply { return Measured(c, false, Amps); }},
    {"FETCh[:SCALar]:POWer[:DC]", true,
     [](Context &c) -> Reply { return Measured(c, false, Watts); }},
    {"FETCh[:SCALar]:MODE", true, [](Context &c) -> Reply { return Measured(c, false, Mode); }},
    {"MEASure[:SCALar]:CHARge", true,
     [](Context &c) -> Reply {
         return Text(Format(c.supply.ChargeAh(), QStringLiteral("0.000")));
     }},
    {"MEASure[:SCALar]:ENERgy", true,
     [](Context &c) -> Reply { return Text(Format(c.supply.EnergyWh(), QStringLiteral("0.00"))); }},
    {"SENSe:COUNter:ZERO", false,
     [](Context &c) -> Reply { return Done(c, c.supply.ZeroCounters()), std::nullopt; }},
    {"PROGram:INTernal:RUN", false,
     [](Context &c) -> Reply { return RunProgram(c, Supply::Where::Internal); }},
    {"PROGram:EXTernal:RUN", false,
     [](Context &c) -> Reply { return RunProgram(c, Supply::Where::External); }},
    {"PROGram:STOP", false,
     [](Context &c) -> Reply { return Done(c, c.supply.Stop()), std::nullopt; }},
    {"PROGram:STATe", true,
     [](Context &c) -> Reply {
         const Supply::Run &r = c.supply.Running();
         switch (r.where) {
         case Supply::Where::Internal:
             return QByteArray("INT");
         case Supply::Where::External:
             return "EXT " + QByteArray::number(r.step) + ',' + QByteArray::number(r.pass);
         case Supply::Where::Idle:
             break;
         }
         return QByteArray("IDLE");
     }},
    {"MEMory:RECall", false,
     [](Context &c) -> Reply {
         bool ok = false;
         const int n = c.cmd.params.value(0).toInt(&ok);
         if (c.cmd.params.size() != 1 || !ok)
             c.client.Fail(c.cmd.params.isEmpty() ? -109 : -104);
         else
             Done(c, c.supply.Recall(n));
         return std::nullopt;
     }},
    {"LOG:RECord[:STATe]", false, RecordState},
    {"LOG:RECord[:STATe]", true,
     [](Context &c) -> Reply {
         const QString &file = c.supply.RecordingFile();
         return (file.isEmpty() ? QByteArray("0,") : QByteArray("1,")) + Quoted(file);
     }},
};

} // namespace

std::optional<QByteArray> Execute(const Scpi::Command &command, Client &client, Supply &supply,
                                  const QString &version) {
    Context c{command, client, supply, version};
    // The table's entries for each header a script has used, found once: a script repeats its
    // few headers thousands of times. Bounded, since any text may be a header.
    static QHash<QString, std::vector<const Entry *>> found;
    if (found.size() > 256)
        found.clear();
    auto it = found.find(command.header);
    if (it == found.end()) {
        std::vector<const Entry *> entries;
        for (const Entry &e : Table)
            if (Scpi::Matches(QLatin1String(e.pattern), command.header))
                entries.push_back(&e);
        it = found.insert(command.header, entries);
    }
    bool known = false;
    for (const Entry *entry : *it) {
        const Entry &e = *entry;
        known = true;
        if (e.query != command.query)
            continue;
        // A query takes no parameters here; a parameter a command does not read is an error.
        if (e.query && !command.params.isEmpty()) {
            client.Fail(-108);
            return std::nullopt;
        }
        return e.run(c);
    }
    client.Fail(known ? -100 : -113, known ? QString() : command.fromRoot);
    return std::nullopt;
}

std::optional<QByteArray> ExecuteLine(const QByteArray &line, Client &client, Supply &supply,
                                      const QString &version) {
    const Scpi::Message m = Scpi::Split(line);
    if (m.error) {
        client.Fail(m.error);
        return std::nullopt;
    }
    std::optional<QByteArray> out;
    for (const Scpi::Command &command : m.commands)
        if (const auto reply = Execute(command, client, supply, version))
            out = out ? *out + ';' + *reply : *reply;
    if (out) // one line, whatever a file name in it held
        out->replace('\r', ' ').replace('\n', ' ');
    return out;
}

} // namespace ScpiCommands
