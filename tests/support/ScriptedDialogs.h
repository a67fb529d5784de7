// Dialogs for tests: every box must be expected, in order, with its exact text; the answers are
// queued by the test. Anything unexpected fails the running test.
#pragma once

#include "Dialogs.h"

#include <QStringList>
#include <deque>
#include <functional>

class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        QString kind; // "msg", "input", "save", "print" or "open"
        QString text;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        QString title;
    };

    void expectMsg(const QString &text, Answer answer = Answer::Ok, Icon icon = Icon::None);
    void expectInput(const QString &prompt, std::optional<QString> answer);
    void expectSave(std::optional<QString> fileName);
    void expectPrint(std::optional<QString> pdfPath);
    void expectOpen(std::optional<QString> fileName);
    // True when every expected dialog was shown; reports the rest as a failure.
    bool allShown();

    Answer MsgBox(const QString &text, Buttons buttons, Icon icon, const QString &title) override;
    std::optional<QString> InputBox(const QString &prompt, const QString &defaultText,
                                    const QString &title) override;
    std::optional<QString> SaveFileName(const QString &caption, const QString &fileName,
                                        const QString &filter,
                                        const QString &defaultSuffix) override;
    QStringList OpenFileNames(const QString &caption, const QString &folder,
                              const QString &filter) override;
    // Prints into the PDF file given by expectPrint.
    bool PrintSetup(QPrinter &printer) override;

    // When set, nothing need be expected: every box is answered with this, an input box with
    // "3", a file or printer choice cancelled.
    std::optional<Answer> answerAll;
    QStringList takeTexts(); // the texts of the dialogs shown since the last call
    // Runs while a message box is up, as an operator who has not answered yet: what the
    // program does meanwhile (in the box's own event loop) happens in here.
    std::function<void(const QString &text)> whileShown;

    QList<Shown> shown;   // every dialog in order
    QStringList defaults; // default texts of the input boxes, in order

private:
    struct Expected {
        QString kind, text;
        Answer answer = Answer::Ok;
        Icon icon = Icon::None;
        QString reply;
        bool cancelled = false;
    };
    void expect(const QString &kind, const QString &text, const std::optional<QString> &reply);
    Expected take(const QString &kind, const QString &text);
    std::deque<Expected> queue_;
};
