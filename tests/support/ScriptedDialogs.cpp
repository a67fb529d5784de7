#include "ScriptedDialogs.h"

#include <QPrinter>
#include <QTest>

void ScriptedDialogs::expectMsg(const QString &text, Answer answer, Icon icon) {
    queue_.push_back({QStringLiteral("msg"), text, answer, icon, QString(), false});
}

void ScriptedDialogs::expect(const QString &kind, const QString &text,
                             const std::optional<QString> &reply) {
    queue_.push_back({kind, text, Answer::Ok, Icon::None, reply.value_or(QString()), !reply});
}

void ScriptedDialogs::expectInput(const QString &prompt, std::optional<QString> answer) {
    expect(QStringLiteral("input"), prompt, answer);
}

void ScriptedDialogs::expectPrint(std::optional<QString> pdfPath) {
    expect(QStringLiteral("print"), QString(), pdfPath);
}

bool ScriptedDialogs::PrintSetup(QPrinter &printer) {
    shown.append({QStringLiteral("print"), QString(), Buttons::OkCancel, Icon::None, QString()});
    const Expected e = take(QStringLiteral("print"), QString());
    if (e.cancelled)
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(e.reply);
    return true;
}

void ScriptedDialogs::expectSave(std::optional<QString> fileName) {
    expect(QStringLiteral("save"), QString(), fileName);
}

bool ScriptedDialogs::allShown() {
    if (queue_.empty())
        return true;
    QTest::qFail(qPrintable(QStringLiteral("dialog never shown: %1 \"%2\"")
                                .arg(queue_.front().kind, queue_.front().text)),
                 __FILE__, __LINE__);
    return false;
}

QStringList ScriptedDialogs::takeTexts() {
    QStringList texts;
    for (const Shown &s : shown)
        texts << s.text;
    shown.clear();
    return texts;
}

ScriptedDialogs::Expected ScriptedDialogs::take(const QString &kind, const QString &text) {
    if (answerAll)
        return {kind,
                text,
                *answerAll,
                Icon::None,
                QStringLiteral("3"),
                kind == u"save" || kind == u"print" || kind == u"open"};
    if (queue_.empty() || queue_.front().kind != kind ||
        (kind != u"save" && kind != u"open" && queue_.front().text != text)) {
        const QString want = queue_.empty()
                                 ? QStringLiteral("nothing")
                                 : queue_.front().kind + " \"" + queue_.front().text + '"';
        QTest::qFail(
            qPrintable(QStringLiteral("unexpected %1 \"%2\" (expected %3)").arg(kind, text, want)),
            __FILE__, __LINE__);
        if (!queue_.empty())
            queue_.pop_front();
        return {kind, text, Answer::Cancel, Icon::None, QString(), true};
    }
    Expected e = queue_.front();
    queue_.pop_front();
    return e;
}

Dialogs::Answer ScriptedDialogs::MsgBox(const QString &text, Buttons buttons, Icon icon,
                                        const QString &title) {
    shown.append({QStringLiteral("msg"), text, buttons, icon, title});
    const Expected e = take(QStringLiteral("msg"), text);
    if (!answerAll && !e.cancelled && e.icon != icon)
        QTest::qFail(qPrintable(QStringLiteral("wrong icon for \"%1\"").arg(text)), __FILE__,
                     __LINE__);
    // A question whose Yes deletes or overwrites must not be answered Yes by Enter.
    if (buttons == Buttons::YesNo && (text.contains(u"Overwrte") || text.contains(u"delete th") ||
                                      text.contains(u"really doing")))
        QTest::qFail(qPrintable(QStringLiteral("Yes is the default of \"%1\"").arg(text)), __FILE__,
                     __LINE__);
    if (whileShown)
        whileShown(text);
    return e.answer;
}

std::optional<QString> ScriptedDialogs::InputBox(const QString &prompt, const QString &defaultText,
                                                 const QString &title) {
    shown.append({QStringLiteral("input"), prompt, Buttons::OkCancel, Icon::None, title});
    defaults << defaultText;
    const Expected e = take(QStringLiteral("input"), prompt);
    return e.cancelled ? std::nullopt : std::optional<QString>(e.reply);
}

void ScriptedDialogs::expectOpen(std::optional<QString> fileName) {
    expect(QStringLiteral("open"), QString(), fileName);
}

QStringList ScriptedDialogs::OpenFileNames(const QString &caption, const QString &folder,
                                           const QString &filter) {
    shown.append({QStringLiteral("open"), caption + u'|' + folder + u'|' + filter,
                  Buttons::OkCancel, Icon::None, QString()});
    const Expected e = take(QStringLiteral("open"), caption);
    return e.cancelled ? QStringList() : QStringList{e.reply};
}

std::optional<QString> ScriptedDialogs::SaveFileName(const QString &caption,
                                                     const QString &fileName, const QString &filter,
                                                     const QString &defaultSuffix) {
    shown.append({QStringLiteral("save"),
                  caption + u'|' + fileName + u'|' + filter + u'|' + defaultSuffix,
                  Buttons::OkCancel, Icon::None, QString()});
    const Expected e = take(QStringLiteral("save"), caption);
    return e.cancelled ? std::nullopt : std::optional<QString>(e.reply);
}
