// Editable list boxes that act only on a pick from their list.
#pragma once

#include <QComboBox>
#include <QLineEdit>

// No inline completion to a stored name, Enter adds nothing to the list, and neither Enter nor
// leaving the box with a listed name typed counts as a pick: Qt turns the line edit's
// editingFinished into activated() when the text matches an entry, so that link is cut.
inline void PickOnly(QComboBox *box) {
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    QObject::disconnect(box->lineEdit(), &QLineEdit::editingFinished, box, nullptr);
}
