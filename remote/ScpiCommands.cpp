#include "ScpiEntry.h"

#include "Module1.h"
#include "Supply.h"

#include <QHash>
#include <cmath>
#include <utility>

using Module1::Format;

namespace ScpiCommands {

void Client::Fail(int code, const QString &info) {
    errors.Push(code, info);
    lastError = code;
    if (code <= -100 && code > -200)
        esr |= 32;
    else if (code <= -200 && code > -300)
        esr |= 16;
    else if (code <= -300 && code > -400)
        esr |= 8;
    else if (code <= -400 && code > -500)
        esr |= 4;
}

void Client::Observe(const Conditions &now) {
    oper.Observe(now.oper);
    ques.Observe(now.ques);
}

void Client::Baseline(const Conditions &now) {
    oper.last = now.oper;
    ques.last = now.ques;
}

int Client::StatusByte() const {
    int stb = (errors.Count() ? 4 : 0) | (ques.event & ques.enable ? 8 : 0) | (esr & ese ? 32 : 0) |
              (oper.event & oper.enable ? 128 : 0);
    return stb | (stb & sre ? 64 : 0);
}

Conditions ConditionsOf(const Supply &supply) {
    Conditions c;
    const Supply::Output &r = supply.Last();
    const bool link = supply.Connected();
    if (link && r.mode == u"CV")
        c.oper |= Bit::OperCV;
    if (link && r.mode == u"CC")
        c.oper |= Bit::OperCC;
    if (supply.Running().where != Supply::Where::Idle)
        c.oper |= Bit::OperProgram;
    if (!link)
        c.ques |= Bit::QuesLink;
    if (supply.Guard().Now() == Guards::State::Tripped)
        c.ques |= Bit::QuesGuardTripped;
    if (supply.Guard().Now() == Guards::State::Done)
        c.oper |= Bit::OperGuardDone;
    if (!link || r.volts < 0)
        c.ques |= Bit::QuesVolt;
    if (!link || r.amps < 0)
        c.ques |= Bit::QuesCurr;
    return c;
}

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

namespace {

QByteArray Text(const QString &s) {
    return s.toUtf8();
}

QByteArray Quoted(const QString &s) {
    return '"' + QString(s).replace(u'"', QStringLiteral("\"\"")).toUtf8() + '"';
}

// A setting's limits, for MIN, MAX and DEF.
struct Range {
    double min, max, def;
};
Range VoltRange() {
    return {0, Module1::MaxVolt, 0};
}
Range CurrRange() {
    return {Supply::LeastAmps, Module1::MaxCurr, Supply::LeastAmps};
}

std::optional<double> KeywordValue(const QString &text, const Range &range) {
    switch (Scpi::NumericKeyword(text)) {
    case Scpi::Keyword::Min:
        return range.min;
    case Scpi::Keyword::Max:
        return range.max;
    case Scpi::Keyword::Def:
        return range.def;
    case Scpi::Keyword::None:
        break;
    }
    return std::nullopt;
}

// The one number a setting command carries, in `unit` or as MIN, MAX or DEF; -109/-108/-104
// queued when it has none.
std::optional<double> NumberParam(Context &c, const QString &unit, const Range &range) {
    if (c.cmd.params.size() != 1) {
        c.client.Fail(c.cmd.params.isEmpty() ? -109 : -108);
        return std::nullopt;
    }
    if (const auto keyword = KeywordValue(c.cmd.params[0], range))
        return keyword;
    const auto n = Scpi::Number(c.cmd.params[0], unit);
    if (!n)
        c.client.Fail(-104);
    return n;
}

// A register's value: a whole number from 0 to `max` (a decimal is rounded, as IEEE 488.2 says).
std::optional<int> RegisterParam(Context &c, int max) {
    if (c.cmd.params.size() != 1) {
        c.client.Fail(c.cmd.params.isEmpty() ? -109 : -108);
        return std::nullopt;
    }
    const auto n = Scpi::Number(c.cmd.params[0], QString());
    if (!n) {
        c.client.Fail(-104);
        return std::nullopt;
    }
    const double rounded = std::round(*n);
    if (rounded < 0 || rounded > max) {
        c.client.Fail(-222, QStringLiteral("0 to %1").arg(max));
        return std::nullopt;
    }
    return int(rounded);
}

// VOLT? and CURR?: the setpoint last sent, or with MIN, MAX or DEF that limit.
Reply SetpointQuery(Context &c, std::optional<float> sent, const Range &range,
                    const QString &pattern, const QString &quantity) {
    if (c.cmd.params.size() > 1) {
        c.client.Fail(-108);
        return std::nullopt;
    }
    if (c.cmd.params.size() == 1) {
        const auto limit = KeywordValue(c.cmd.params[0], range);
        if (!limit) {
            c.client.Fail(-224, QStringLiteral("MIN, MAX or DEF"));
            return std::nullopt;
        }
        return Text(Format(*limit, pattern));
    }
    if (!sent) {
        c.client.Fail(-200, QStringLiteral("no %1 has been set yet").arg(quantity));
        return std::nullopt;
    }
    return Text(Format(*sent, pattern));
}

Reply RegisterEvent(Context &c, StatusRegister Client::*reg) {
    c.client.Observe(ConditionsOf(c.supply));
    return QByteArray::number(std::exchange((c.client.*reg).event, 0));
}

Reply RegisterEnable(Context &c, StatusRegister Client::*reg) {
    if (const auto n = RegisterParam(c, 32767))
        (c.client.*reg).enable = *n;
    return std::nullopt;
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

// The mode, where the poll told it: a reply cut short has none.
Reply Mode(Context &c, bool fresh) {
    const Reply known = Measured(c, fresh, [](const Supply::Output &r) { return Text(r.mode); });
    if (known && known->isEmpty()) {
        c.client.Fail(-240, QStringLiteral("the supply did not tell its mode"));
        return std::nullopt;
    }
    return known;
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

QByteArray Identity(Context &c) {
    const QString limits = Module1::MaxVolt > 0
                               ? QStringLiteral("%1V-%2A").arg(Module1::NumStr(Module1::MaxVolt),
                                                               Module1::NumStr(Module1::MaxCurr))
                               : QStringLiteral("0V-0A");
    return Text(QStringLiteral("QVR,%1,0,%2").arg(limits, c.version));
}

// *ESE and *SRE: a byte; the status byte's bit 6 is its own summary and cannot be enabled.
Reply SetByte(Context &c, int Client::*field, int mask) {
    if (const auto n = RegisterParam(c, 255))
        c.client.*field = *n & mask;
    return std::nullopt;
}

const Entry Table[] = {
    {"*IDN", true, [](Context &c) -> Reply { return Identity(c); }},
    {"*RST", false, [](Context &c) -> Reply { return Done(c, c.supply.Reset()), std::nullopt; }},
    {"*CLS", false,
     [](Context &c) -> Reply {
         c.client.errors.Clear();
         c.client.esr = 0;
         c.client.oper.event = c.client.ques.event = 0;
         return std::nullopt;
     }},
    // Every command is carried out before the next is read: each is complete when *OPC comes.
    {"*OPC", true, [](Context &) -> Reply { return QByteArray("1"); }},
    {"*OPC", false,
     [](Context &c) -> Reply {
         c.client.esr |= 1;
         return std::nullopt;
     }},
    {"*WAI", false, [](Context &) -> Reply { return std::nullopt; }},
    {"*ESR", true,
     [](Context &c) -> Reply { return QByteArray::number(std::exchange(c.client.esr, 0)); }},
    {"*ESE", false, [](Context &c) -> Reply { return SetByte(c, &Client::ese, 255); }},
    {"*ESE", true, [](Context &c) -> Reply { return QByteArray::number(c.client.ese); }},
    {"*SRE", false, [](Context &c) -> Reply { return SetByte(c, &Client::sre, 255 & ~64); }},
    {"*SRE", true, [](Context &c) -> Reply { return QByteArray::number(c.client.sre); }},
    {"*STB", true,
     [](Context &c) -> Reply {
         c.client.Observe(ConditionsOf(c.supply));
         return QByteArray::number(c.client.StatusByte());
     }},
    // QVR's own test: whether a supply answers it.
    {"*TST", true,
     [](Context &c) -> Reply { return QByteArray(c.supply.Connected() ? "0" : "1"); }},
    {"*OPT", true, [](Context &) -> Reply { return QByteArray("0"); }},
    {"STATus:OPERation[:EVENt]", true,
     [](Context &c) -> Reply { return RegisterEvent(c, &Client::oper); }},
    {"STATus:OPERation:CONDition", true,
     [](Context &c) -> Reply { return QByteArray::number(ConditionsOf(c.supply).oper); }},
    {"STATus:OPERation:ENABle", false,
     [](Context &c) -> Reply { return RegisterEnable(c, &Client::oper); }},
    {"STATus:OPERation:ENABle", true,
     [](Context &c) -> Reply { return QByteArray::number(c.client.oper.enable); }},
    {"STATus:QUEStionable[:EVENt]", true,
     [](Context &c) -> Reply { return RegisterEvent(c, &Client::ques); }},
    {"STATus:QUEStionable:CONDition", true,
     [](Context &c) -> Reply { return QByteArray::number(ConditionsOf(c.supply).ques); }},
    {"STATus:QUEStionable:ENABle", false,
     [](Context &c) -> Reply { return RegisterEnable(c, &Client::ques); }},
    {"STATus:QUEStionable:ENABle", true,
     [](Context &c) -> Reply { return QByteArray::number(c.client.ques.enable); }},
    {"STATus:PRESet", false,
     [](Context &c) -> Reply {
         c.client.oper.enable = c.client.ques.enable = 0;
         return std::nullopt;
     }},
    {"SYSTem:ERRor[:NEXT]", true, [](Context &c) -> Reply { return Text(c.client.errors.Next()); }},
    {"SYSTem:ERRor:COUNt", true,
     [](Context &c) -> Reply { return QByteArray::number(c.client.errors.Count()); }},
    {"SYSTem:VERSion", true, [](Context &) -> Reply { return QByteArray("1999.0"); }},
    {"[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]", false,
     [](Context &c) -> Reply {
         if (const auto v = NumberParam(c, QStringLiteral("V"), VoltRange()))
             Done(c, c.supply.SetVoltage(*v));
         return std::nullopt;
     }},
    {"[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]", true,
     [](Context &c) -> Reply {
         return SetpointQuery(c, c.supply.SetVolts(), VoltRange(), QStringLiteral("0.0"),
                              QStringLiteral("voltage"));
     },
     true},
    {"[SOURce:]CURRent[:LEVel][:IMMediate][:AMPLitude]", false,
     [](Context &c) -> Reply {
         if (const auto a = NumberParam(c, QStringLiteral("A"), CurrRange()))
             Done(c, c.supply.SetCurrent(*a));
         return std::nullopt;
     }},
    {"[SOURce:]CURRent[:LEVel][:IMMediate][:AMPLitude]", true,
     [](Context &c) -> Reply {
         return SetpointQuery(c, c.supply.SetAmps(), CurrRange(), QStringLiteral("0.00"),
                              QStringLiteral("current"));
     },
     true},
    {"MEASure[:SCALar]:VOLTage[:DC]", true,
     [](Context &c) -> Reply { return Measured(c, true, Volts); }},
    {"MEASure[:SCALar]:CURRent[:DC]", true,
     [](Context &c) -> Reply { return Measured(c, true, Amps); }},
    {"MEASure[:SCALar]:POWer[:DC]", true,
     [](Context &c) -> Reply { return Measured(c, true, Watts); }},
    {"MEASure[:SCALar]:MODE", true, [](Context &c) -> Reply { return Mode(c, true); }},
    {"FETCh[:SCALar]:VOLTage[:DC]", true,
     [](Context &c) -> Reply { return Measured(c, false, Volts); }},
    {"FETCh[:SCALar]:CURRent[:DC]", true,
     [](Context &c) -> Reply { return Measured(c, false, Amps); }},
    {"FETCh[:SCALar]:POWer[:DC]", true,
     [](Context &c) -> Reply { return Measured(c, false, Watts); }},
    {"FETCh[:SCALar]:MODE", true, [](Context &c) -> Reply { return Mode(c, false); }},
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
    // One separator throughout, so that a client splitting at commas gets three values.
    {"PROGram:STATe", true,
     [](Context &c) -> Reply {
         const Supply::Run &r = c.supply.Running();
         switch (r.where) {
         case Supply::Where::Internal:
             return QByteArray("INT");
         case Supply::Where::External:
             return "EXT," + QByteArray::number(r.step) + ',' + QByteArray::number(r.pass);
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
        for (const Entries table : {Entries{Table, std::size(Table)}, GuardTable()})
            for (const Entry &e : table)
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
        // A parameter a command does not read is an error.
        if (e.query && !e.queryParams && !command.params.isEmpty()) {
            client.Fail(-108);
            return std::nullopt;
        }
        return e.run(c);
    }
    client.Fail(known ? -100 : -113, known ? QString() : command.fromRoot);
    return std::nullopt;
}

void LineRun::Next(Client &client, Supply &supply, const QString &version) {
    if (next_ < message_.commands.size()) {
        client.lastError = 0;
        const auto reply = Execute(message_.commands[next_++], client, supply, version);
        if (reply) // one line, whatever a file name in it held
            reply_ = (reply_ ? *reply_ + ';' : QByteArray()) +
                     QByteArray(*reply).replace('\r', ' ').replace('\n', ' ');
        if (client.lastError <= -100 && client.lastError > -200) {
            next_ = message_.commands.size(); // the rest of the line is not read
            message_.error = 0;
        }
    } else if (message_.error) {
        client.Fail(std::exchange(message_.error, 0)); // what could not be read, after the rest
    }
}

std::optional<QByteArray> ExecuteLine(const QByteArray &line, Client &client, Supply &supply,
                                      const QString &version) {
    LineRun run(line);
    while (!run.Done())
        run.Next(client, supply, version);
    return run.Reply();
}

} // namespace ScpiCommands
