// Dialog seam: every message box, input box and file dialog the operator sees goes through here,
// so tests can script the answers and check the exact texts.
#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <optional>

class QPrinter;

class Dialogs {
public:
    // YesNoSafe: Yes/No with No as the default button, for a question whose Yes destroys stored
    // data, so that Enter does not.
    enum class Buttons { Ok, YesNo, OkCancel, YesNoSafe };
    enum class Icon { None, Exclamation, Critical, Information, Question };
    enum class Answer { Ok, Yes, No, Cancel };

    virtual ~Dialogs() = default;
    // A box without a title of its own shows the application title "QVR2".
    virtual Answer MsgBox(const QString &text, Buttons buttons = Buttons::Ok,
                          Icon icon = Icon::None, const QString &title = QString()) = 0;
    // Returns nothing when the operator cancels.
    virtual std::optional<QString> InputBox(const QString &prompt, const QString &defaultText,
                                            const QString &title = QString()) = 0;
    // Returns nothing when the operator cancels. A name typed without an extension gets
    // `defaultSuffix`; an existing file is the caller's question.
    virtual std::optional<QString> SaveFileName(const QString &caption, const QString &fileName,
                                                const QString &filter,
                                                const QString &defaultSuffix = QString()) = 0;
    // Files to open, chosen by the operator; none when cancelled.
    virtual QStringList OpenFileNames(const QString &caption, const QString &folder,
                                      const QString &filter) = 0;
    // The system print dialog; false when the operator cancels.
    virtual bool PrintSetup(QPrinter &printer) = 0;

    static QString AppTitle() { return QStringLiteral("QVR2"); }
    // The extension of a file type's first pattern: "svg" for "SVG drawing (*.svg)", or nothing.
    static QString FilterSuffix(const QString &filter) {
        const qsizetype at = filter.indexOf(QStringLiteral("(*."));
        if (at < 0)
            return {};
        QString suffix = filter.mid(at + 3);
        if (const qsizetype end =
                suffix.indexOf(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")));
            end >= 0)
            suffix.truncate(end);
        return suffix;
    }
};
