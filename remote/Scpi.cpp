#include "Scpi.h"

#include <QRegularExpression>
#include <cmath>
#include <functional>

namespace Scpi {

QString ErrorText(int code) {
    switch (code) {
    case 0:
        return QStringLiteral("No error");
    case -100:
        return QStringLiteral("Command error");
    case -102:
        return QStringLiteral("Syntax error");
    case -104:
        return QStringLiteral("Data type error");
    case -108:
        return QStringLiteral("Parameter not allowed");
    case -109:
        return QStringLiteral("Missing parameter");
    case -113:
        return QStringLiteral("Undefined header");
    case -200:
        return QStringLiteral("Execution error");
    case -221:
        return QStringLiteral("Settings conflict");
    case -222:
        return QStringLiteral("Data out of range");
    case -223:
        return QStringLiteral("Too much data");
    case -224:
        return QStringLiteral("Illegal parameter value");
    case -240:
        return QStringLiteral("Hardware error");
    case -350:
        return QStringLiteral("Queue overflow");
    default:
        return QStringLiteral("Error");
    }
}

namespace {

// Splits `text` at `separator` outside strings; false for a string left open.
bool SplitOutside(const QString &text, QChar separator, QStringList &parts) {
    QChar quote;
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar(); // a doubled quote closes and opens again: still one string
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == separator) {
            parts << text.mid(from, i - from);
            from = i + 1;
        }
    }
    parts << text.mid(from);
    return quote.isNull();
}

bool HeaderCharacters(const QString &header) {
    static const QRegularExpression valid(QStringLiteral("^:?\\*?[A-Za-z][A-Za-z0-9_]*"
                                                         "(:[A-Za-z][A-Za-z0-9_]*)*\\??$"));
    return valid.match(header).hasMatch();
}

} // namespace

Message Split(const QByteArray &line) {
    Message m;
    if (line.size() > MaxLine) {
        m.error = -223;
        return m;
    }
    QStringList parts;
    // A string left open spoils only the command it is in: the ones before it run.
    const int unfinished = SplitOutside(QString::fromUtf8(line).trimmed(), u';', parts) ? 0 : -102;
    if (unfinished)
        parts.removeLast();
    QString path; // the nodes before the last of the previous command
    for (const QString &part : parts) {
        const QString text = part.trimmed();
        if (text.isEmpty())
            continue;
        const qsizetype blank = text.indexOf(QRegularExpression(QStringLiteral("\\s")));
        const QString written = blank < 0 ? text : text.left(blank);
        if (!HeaderCharacters(written)) {
            m.error = -102;
            return m;
        }
        Command c;
        c.query = written.endsWith(u'?');
        QString header = written.toUpper();
        if (c.query)
            header.chop(1);
        const bool absolute = header.startsWith(u':') || header.startsWith(u'*');
        if (header.startsWith(u':'))
            header.remove(0, 1);
        c.fromRoot = header;
        c.header = absolute || m.commands.empty() ? header : path + header;
        if (!header.startsWith(u'*'))
            path = c.header.left(c.header.lastIndexOf(u':') + 1);
        if (blank >= 0) {
            QStringList params;
            SplitOutside(text.mid(blank + 1), u',', params);
            for (QString p : params) {
                p = p.trimmed();
                const bool quoted = p.size() >= 2 && (p.front() == u'"' || p.front() == u'\'') &&
                                    p.back() == p.front();
                if (quoted)
                    p = p.mid(1, p.size() - 2).replace(QString(2, p.front()), QString(p.front()));
                c.params << p;
                c.quoted << quoted;
            }
        }
        m.commands.push_back(c);
    }
    m.error = unfinished;
    return m;
}

qsizetype LineEnd(const QByteArray &in, qsizetype from) {
    for (qsizetype i = from; i < in.size(); ++i)
        if (in[i] == '\n' || in[i] == '\r')
            return i;
    return -1;
}

bool WebRequest(const QByteArray &line) {
    // "GET /x HTTP/1.1", and any "Name: value" line: a SCPI header never has a blank after its
    // colon, and a browser sends its request line first, so none of its lines ever runs.
    static const QRegularExpression request(QStringLiteral("^\\s*[A-Z]+ \\S+ HTTP/\\d"));
    static const QRegularExpression header(
        QStringLiteral("^\\s*[!#$%&'*+.^_`|~0-9A-Za-z-]+:[ \\t]"));
    const QString text = QString::fromLatin1(line);
    return request.match(text).hasMatch() || header.match(text).hasMatch();
}

Keyword NumericKeyword(const QString &text) {
    const QString word = text.trimmed().toUpper();
    if (word == u"MIN" || word == u"MINIMUM")
        return Keyword::Min;
    if (word == u"MAX" || word == u"MAXIMUM")
        return Keyword::Max;
    if (word == u"DEF" || word == u"DEFAULT")
        return Keyword::Def;
    return Keyword::None;
}

QString Command::Text() const {
    return header + (query ? QStringLiteral("?") : QString()) +
           (params.isEmpty() ? QString() : u' ' + params.join(u','));
}

bool Matches(const QString &pattern, const QString &header) {
    if (pattern.startsWith(u'*'))
        return pattern.compare(header, Qt::CaseInsensitive) == 0;
    struct Node {
        QString longForm, shortForm;
        bool optional;
    };
    std::vector<Node> nodes;
    bool optional = false;
    QString word;
    const auto close = [&] {
        QString shortForm;
        for (QChar c : word)
            if (c.isUpper() || c.isDigit())
                shortForm += c;
        if (!word.isEmpty())
            nodes.push_back({word.toUpper(), shortForm, optional});
        word.clear();
    };
    for (QChar c : pattern) {
        if (c == u'[' || c == u']' || c == u':') {
            close();
            if (c != u':')
                optional = c == u'[';
        } else {
            word += c;
        }
    }
    close();
    const QStringList given = header.toUpper().split(u':');
    // Node by node, an optional one either given or left out.
    const std::function<bool(size_t, qsizetype)> match = [&](size_t i, qsizetype j) -> bool {
        if (i == nodes.size())
            return j == given.size();
        const bool same =
            j < given.size() && (given[j] == nodes[i].longForm || given[j] == nodes[i].shortForm);
        return (same && match(i + 1, j + 1)) || (nodes[i].optional && match(i + 1, j));
    };
    return match(0, 0);
}

std::optional<double> Number(const QString &text, const QString &unit) {
    static const QRegularExpression number(QStringLiteral(
        "^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)\\s*([A-Za-z]*)\\s*$"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    bool ok = false;
    double value = m.captured(1).toDouble(&ok);
    const QString suffix = m.captured(2).toUpper();
    const QString u = unit.toUpper();
    if (!suffix.isEmpty() && suffix != u) {
        if (suffix.size() != u.size() + 1 || !suffix.endsWith(u))
            return std::nullopt;
        switch (suffix[0].unicode()) {
        case 'M':
            value /= 1000;
            break;
        case 'U':
            value /= 1e6;
            break;
        case 'K':
            value *= 1000;
            break;
        default:
            return std::nullopt;
        }
    }
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

void ErrorQueue::Push(int code, const QString &info) {
    QString text = ErrorText(code);
    // A reply is one line whatever the message held (a file name, a box's two lines).
    if (!info.isEmpty())
        text += QStringLiteral("; ") + QString(info).replace(u'\r', u' ').replace(u'\n', u' ');
    if (text.size() > MaxErrorText) { // a long file name or table name: its start tells enough
        text.truncate(MaxErrorText - 3);
        if (text.back().isHighSurrogate())
            text.chop(1);
        text += QStringLiteral("...");
    }
    const QString entry = QString::number(code) + QStringLiteral(",\"") +
                          QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
    if (int(entries_.size()) < QueueSize)
        entries_.push_back(entry);
    else
        entries_.back() = QStringLiteral("-350,\"Queue overflow\"");
}

QString ErrorQueue::Next() {
    if (entries_.empty())
        return QStringLiteral("0,\"No error\"");
    const QString entry = entries_.front();
    entries_.pop_front();
    return entry;
}

} // namespace Scpi
