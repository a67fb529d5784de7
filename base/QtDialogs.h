#pragma once

#include "Dialogs.h"

#include <QPointer>
#include <QWidget>

// The dialogs as real Qt windows, modal to the given parent.
class QtDialogs : public Dialogs {
public:
    void setParent(QWidget *parent) { parent_ = parent; }
    Answer MsgBox(const QString &text, Buttons buttons, Icon icon, const QString &title) override;
    std::optional<QString> InputBox(const QString &prompt, const QString &defaultText,
                                    const QString &title) override;
    QStringList OpenFileNames(const QString &caption, const QString &folder,
                              const QString &filter) override;
    std::optional<QString> SaveFileName(const QString &caption, const QString &fileName,
                                        const QString &filter,
                                        const QString &defaultSuffix) override;
    bool PrintSetup(QPrinter &printer) override;

private:
    QPointer<QWidget> parent_;
};
