// The window's dialogs, or, while a script's command runs, its error queue: an unattended rig must
// never wait for a click. A question then gets the answer that changes nothing.
#pragma once

#include "Dialogs.h"

#include <QStringList>

class RoutedDialogs : public Dialogs {
public:
    explicit RoutedDialogs(Dialogs &shown) : shown_(shown) {}
    // Messages go to `said` instead of a box while set; nullptr shows them again.
    void Capture(QStringList *said) { said_ = said; }
    QStringList *Captured() const { return said_; }

    Answer MsgBox(const QString &text, Buttons buttons, Icon icon, const QString &title) override {
        if (!said_)
            return shown_.MsgBox(text, buttons, icon, title);
        said_->append(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
        switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::OkCancel:
            return Answer::Cancel;
        case Buttons::YesNo:
        case Buttons::YesNoSafe:
            break;
        }
        return Answer::No;
    }
    std::optional<QString> InputBox(const QString &prompt, const QString &defaultText,
                                    const QString &title) override {
        if (!said_)
            return shown_.InputBox(prompt, defaultText, title);
        said_->append(prompt);
        return std::nullopt;
    }
    std::optional<QString> SaveFileName(const QString &caption, const QString &fileName,
                                        const QString &filter,
                                        const QString &defaultSuffix) override {
        if (said_)
            return std::nullopt;
        return shown_.SaveFileName(caption, fileName, filter, defaultSuffix);
    }
    QStringList OpenFileNames(const QString &caption, const QString &folder,
                              const QString &filter) override {
        if (said_)
            return {};
        return shown_.OpenFileNames(caption, folder, filter);
    }
    bool PrintSetup(QPrinter &printer) override { return !said_ && shown_.PrintSetup(printer); }

private:
    Dialogs &shown_;
    QStringList *said_ = nullptr;
};
