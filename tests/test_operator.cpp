// The window as the operator drives it: clicks, keys and focus moves reach the controls only as
// real events, through the focus and the filters the program installed. Each row is what the
// operator does, then the boxes shown and the bytes that reached the supply. A handler called
// directly would pass where the event never arrives.
#include "CellMessages.h"
#include "GridEditor.h"
#include "Module1.h"
#include "PropertiesFrm.h"
#include "ScpiCommands.h"
#include "Tables.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {
const QString VO = "Voltage must be 0 or 0.1 - 30 and 1 digit o precision .";
const QString CO = "Current must be 0.01 - 3 and 2 digit o precision .";
const QString Cycle = "Entry number of cycle .";
const QString Over = "%1 cannot be sent to the power supply: the %2 is above the maximum of %3 .";

// Ten PROP lines, step 1 as given and the rest zero, as Run and "Save to power supply" send them.
QByteArray program(const char *step1) {
    QByteArray lines = QByteArray("PROP0") + step1 + '\r';
    for (int i = 1; i < 10; ++i)
        lines += "PROP" + QByteArray::number(i) + "0000000000\r";
    return lines;
}

// What earlier work left in the database: tables to pick and open, some made for a larger supply
// (50 V, 5 A, 40 V) or by an older version (150 V), one without a current, one without a name.
void storeTables(const QString &file) {
    Database db;
    db.Open(file);
    const QList<std::pair<QString, QStringList>> timed{{"A_ramp", {"7", "1", "1", "0"}},
                                                       {"A_other", {"7", "1", "1", "0"}},
                                                       {"B_", {"7", "1", "1", "0"}},
                                                       {"B_zero", {"12.0", "0.00", "00", "10"}},
                                                       {"B_big", {"50.0", "1.00", "00", "10"}},
                                                       {"A_big", {"05.0", "5.00", "00", "10"}},
                                                       {"A_old", {"150", "1.00", "00", "05"}}};
    for (const auto &[table, step1] : timed)
        db.RewriteTable(
            table,
            Tables::Fields(table[0] == u'A' ? Tables::Family::Internal : Tables::Family::External),
            {step1});
    QList<QStringList> memories(9, {"F", "05.0", "1.00"});
    db.RewriteTable("C_set", Tables::Fields(Tables::Family::Preset), memories);
    memories[8] = {"T", "40.0", "1.00"};
    db.RewriteTable("C_big", Tables::Fields(Tables::Family::Preset), memories);
}

// A connected window (30 V, 3 A), shown and active, with step 1 of both programs and memory 1
// ready to run: 05.0 V, 1.00 A, 10 s.
struct Desk {
    WindowFixture f;
    TabbedFrm *w = nullptr;

    explicit Desk(int page) {
        storeTables(f.dbPath());
        w = &f.startConnected();
        for (int g : {0, 1, 2}) {
            static_cast<ProgramPage *>(w->Tab1->widget(g))
                ->FGrid->SetDataRow(1, g == 2 ? QStringList{"", " 1", "05.0", "1.00"}
                                              : QStringList{"1", "05.0", "1.00", "00", "10"});
            w->editor->SetFGridForeColor(g);
        }
        f.dialogs.answerAll = Dialogs::Answer::Ok;
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
        play(QString("tab %1").arg(page));
        f.port.sent.clear();
    }
    ScpiCommands::Client client; // a script beside the operator
    QByteArray replied;
    QWidget *find(const QString &name) const { return w->findChild<QWidget *>(name); }
    QByteArray wire() const { return QByteArray(f.port.sent).replace("GETD\r", ""); }

    // Plays what the operator does, a step at a time; the checks among the steps say what the
    // operator sees then. Steps are separated by ";", their words by blanks.
    void play(const QString &script) {
        ProgramGrid *g = w->editor->CurrentGrid();
        for (const QString &step : script.split(u';')) {
            const QStringList a = step.split(u' ', Qt::SkipEmptyParts);
            const QString verb = a.value(0), arg = a.value(1), rest = a.value(2);
            const int r = arg.toInt(), c = rest.toInt(); // a cell's row and column
            QWidget *focus = QApplication::focusWidget(), *editor = w->editor->Text5;
            const QByteArray where = step.toUtf8();
            if (verb == "tab") { // a page, by its tab
                QTest::mouseClick(w->Tab1->tabBar(), Qt::LeftButton, {},
                                  w->Tab1->tabBar()->tabRect(r).center());
                g = w->editor->CurrentGrid();
            } else if (verb == "cell") { // scrolled into view first, as the operator does
                g->scrollTo(g->model()->index(r - 1, c));
                QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->CellRect(r, c).center());
            } else if (verb == "scroll") { // the grid's top in view
                g->verticalScrollBar()->setValue(0);
            } else if (verb == "click") { // an editable box in its text
                QWidget *x = find(arg);
                auto *box = qobject_cast<QComboBox *>(x);
                QTest::mouseClick(box ? box->lineEdit() : x, Qt::LeftButton);
            } else if (verb == "keys") {
                QTest::keyClicks(focus, arg);
            } else if (verb == "key") { // by its name: Return, Tab, Backtab, Up, Down, Space ...
                QTest::keyClick(focus, QKeySequence(arg)[0].key());
            } else if (verb == "retype") { // the box's whole text
                QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
                if (arg.isEmpty())
                    QTest::keyClick(focus, Qt::Key_Backspace);
                QTest::keyClicks(focus, arg);
            } else if (verb == "pick") { // a name from the box's list, by its keys
                auto *box = qobject_cast<QComboBox *>(find(arg));
                QTest::mouseClick(box->lineEdit(), Qt::LeftButton);
                QTest::keyClick(box, Qt::Key_F4);
                QTRY_VERIFY2(box->view()->isVisible(), where);
                QTest::keyClick(box->view(), Qt::Key_Home);
                for (int i = 0; i < box->count() && box->view()->currentIndex().data() != rest; ++i)
                    QTest::keyClick(box->view(), Qt::Key_Down);
                QTest::keyClick(box->view(), Qt::Key_Return);
            } else if (verb == "options") { // the real dialog, left by Cancel
                QTimer::singleShot(0, [] {
                    if (auto *d = qobject_cast<PropertiesFrm *>(QApplication::activeModalWidget()))
                        QTest::mouseClick(d->CmdCancel, Qt::LeftButton);
                });
                QTest::mouseClick(find("Command4_2"), Qt::LeftButton);
            } else if (verb == "set") { // a box the program itself filled
                qobject_cast<QLineEdit *>(find(arg))->setText(rest);
            } else if (verb == "put") { // a cell the program itself filled
                g->SetTextMatrix(r, c, a.value(3));
            } else if (verb == "new") { // an empty grid, as the program resets it
                w->editor->ClsFGrid();
            } else if (verb == "drop") { // a table another program took away
                w->db().DeleteTable(arg);
            } else if (verb == "handler") { // Run as a stale click or a script would press it
                w->editor->CurrentIndex() == 0 ? w->internalPage->Command0_Click(0)
                                               : w->externalPage->Command1_Click(0);
            } else if (verb == "script") { // a script's line, '_' for a blank, '|' for ';'
                const QString line = QString(arg).replace(u'_', u' ').replace(u'|', u';');
                replied =
                    ScpiCommands::ExecuteLine(line.toUtf8(), client, w->supply, "2.0").value_or("");
            } else if (verb == "replied") {
                const QByteArray expected = arg.toUtf8().replace('_', ' ').replace('|', ';');
                QVERIFY2(replied == expected, where + " replied " + replied);
            } else if (verb == "wire") { // what has gone out by now
                QTRY_VERIFY2(wire().size() == r, where);
            } else if (verb == "is") { // a control's text
                const char *name = qobject_cast<QComboBox *>(find(arg)) ? "currentText" : "text";
                const QString text = find(arg)->property(name).toString();
                QVERIFY2(text == rest, where + " shows " + text.toUtf8());
            } else if (verb == "cellis") {
                QVERIFY2(g->TextMatrix(r, c) == a.value(3), where);
            } else if (verb == "at") { // the current cell
                QVERIFY2(g->Row() == r && g->Col() == c, where);
            } else if (verb == "rows") {
                QVERIFY2(g->Rows() == r, where);
            } else if (verb == "wide") { // the voltage and current columns, in twips
                const int px = ProgramRules::TwipsToPixels(r);
                QVERIFY2(g->columnWidth(1) == px && g->columnWidth(2) == px, where);
            } else if (verb == "over") { // the editor over its cell, wherever the grid scrolled
                QVERIFY2(editor->geometry() == g->CellRect(r, c), where);
            } else if (verb == "red") {
                QVERIFY2(g->CellColour(r, c) == QColor(255, 0, 0), where);
            } else if (verb == "on" || verb == "off") {
                QVERIFY2(find(arg)->isEnabled() == (verb == "on"), where);
            } else if (verb == "states") { // a button array, "1" enabled, "0" not
                QString states;
                for (int i = 0; find(arg + '_' + QString::number(i)); ++i)
                    states += find(arg + '_' + QString::number(i))->isEnabled() ? '1' : '0';
                QVERIFY2(states == rest, where + " shows " + states.toUtf8());
            } else if (verb == "colour") { // a box's text: dark green or black
                const QColor text = find(arg)->palette().color(QPalette::Text);
                QVERIFY2(text == (rest == "green" ? QColor(0, 0x80, 0) : QColor(Qt::black)), where);
            } else if (verb == "checked") {
                QVERIFY2(find(arg)->property("checked").toBool() == (rest == "yes"), where);
            } else if (verb == "focus") {
                QVERIFY2(focus && focus->objectName() == arg, where);
            } else if (verb == "editing") { // the cell editor shown with the focus, or gone
                QVERIFY2(editor->hasFocus() == (arg == "yes") &&
                             editor->isHidden() == (arg == "no"),
                         where);
            } else {
                QFAIL(where + " is no step");
            }
        }
    }
};

struct Row {
    const char *name;
    int page;
    const char *script;
    QStringList said = {};
    QByteArray wire = {};
};

// One row a control and the events that reach it.
const QList<Row> &rows() {
    // clang-format off
    static const QList<Row> rows = {
        // A value typed into a cell gets its check however the editor goes away, and what
        // failed never reaches the supply.
        {"page change", 0, "cell 1 1; keys 50; tab 3; tab 0; cellis 1 1 00.0; click Command0_0",
         {V1}, program("0001000010") + "RUNP0\r"},
        {"Options", 1, "cell 1 1; keys 50; options; click Command1_0; wire 16; click Command1_0",
         {V1}, "VOLT000\rCURR100\r"},
        {"setpoint box", 0, "cell 1 1; keys 31; click Text2_0; cellis 1 1 00.0; focus Text2_0",
         {V1}},
        {"row count box", 1, "cell 1 2; keys 5; click Text1; cellis 1 2 0.00; editing no", {C1}},
        {"internal name box", 0, "cell 1 4; keys 60; click Combo0_0; cellis 1 4 00", {S}},
        {"external name box", 1, "cell 1 3; keys 100; click Combo1_0; cellis 1 3 00", {M}},
        {"preset name box", 2, "cell 1 3; keys 5; click Combo2; cellis 1 3 0.00", {C2}},
        // Editing with the keys: Enter and the arrows move from cell to cell, checking the cell
        // left once something was typed; Tab and Shift+Tab leave the grid, checked too.
        {"nothing typed, nothing checked", 0, "put 1 2 9.99; cell 1 2; key Down; "
         "cellis 1 2 9.99; at 2 2"},
        {"refused on leaving", 0, "cell 1 1; keys 31; key Up; cellis 1 1 31; at 1 1; key Down; "
         "cellis 1 1 00.0; at 2 1", {V1}},
        {"Enter moves on", 0, "new; cell 1 3; keys 1; key Return; at 1 4; off Command0_0; "
         "cell 1 2; keys 2; key Return; at 1 3; on Command0_0"},
        {"Enter at the last step", 0, "cell 10 4; keys 2; key Return; at 10 4; rows 11"},
        {"external grid grows", 1, "cell 10 4; keys 5; key Return; rows 12; is Text1 11; "
         "at 11 1; cellis 11 1 00.0; wide 1070"},
        {"to a hundred steps", 1, "click Text1; retype 250; click Command1_1; rows 101; "
         "is Text1 100; wide 1070; cell 100 4; keys 1; key Return; rows 101; scroll; over 100 4"},
        {"Enter in the row count", 1, "click Text1; retype 3; key Return; rows 4; wide 1200; "
         "click Text1; retype 0; click Command1_1; rows 2; is Text1 1"},
        {"row count buttons", 1, "set Text1 1; click Command3_1; is Text1 1; set Text1 100; "
         "click Command3_0; is Text1 100; set Text1 abc; click Command3_1; is Text1 1; "
         "set Text1 abc; click Command3_0; is Text1 1; set Text1 7; click Command3_1; is Text1 6"},
        {"zero current", 0, "cell 1 2; keys 0; key Left; off Command0_0; red 1 2; at 1 1", {C1}},
        {"Tab out of the grid", 0, "cell 2 1; keys 150; key Tab; editing yes; cellis 2 1 00.0; "
         "keys 12; key Tab; cellis 2 1 12.0; editing no; focus Command0_0; cell 2 1; keys 5; "
         "key Backtab; editing no; focus Combo0_1", {V1}},
        // A button that reads the grid checks the cell being edited first: refused, the editor
        // keeps the focus over the zeroed cell, and nothing goes out or is stored.
        {"internal buttons", 0, "cell 1 1; keys 150; click Command0_2; editing yes; keys -5; "
         "click Command0_0; editing yes; is Command0_0 Run; cell 1 2; keys 0; click Command0_4; "
         "editing yes", {V1, V1, C1}},
        {"external Run", 1, "cell 1 3; keys 123456789012345; click Command1_0; editing yes", {M}},
        {"preset Run", 2, "click Option1_1; cell 1 3; keys 5; click Command2_0; editing yes", {C2}},
        {"a value that passes", 0, "cell 1 1; keys 12,5; click Command0_2; editing no",
         {}, program("1251000010")},
        // The name and run-cycle boxes see their keys and their focus.
        {"internal name keys", 0, "click Combo0_0; retype abc; on Command0_3; on Command0_4; "
         "on Command0_5; retype; off Command0_3; off Command0_5; retype t; key Return; "
         "focus Combo0_1"},
        {"internal cycle keys", 0, "click Combo0_1; retype 12; is Combo0_1 0; retype 3; "
         "key Return; focus Command0_0; key Space", {}, program("0501000010") + "RUNP3\r"},
        // Run is enabled, and a run starts, only for a program that can run: a first step with a
        // duration, a current in every step and a valid cycle, whichever way it is asked.
        {"internal cycle picked, no program", 0, "new; click Combo0_1; key Down; is Combo0_1 1; "
         "off Command0_0; key Return; focus Combo0_1; click Command0_0"},
        {"internal step without current", 0, "cell 1 2; keys 0.00; click Combo0_1; key Down; "
         "click Combo0_0; off Command0_0; handler",
         {C1, "Step 1 has no current: give it a current above 0 ."}},
        {"internal cycle a or empty", 0, "click Combo0_1; retype a; off Command0_0; handler; "
         "retype; off Command0_0; handler", {Cycle, Cycle}},
        {"external cycle picked, no program", 1, "click Command1_1; click Combo1_1; key Down; "
         "off Command1_0; retype 2; off Command1_0; handler",
         {"Step 1 has no time: give it minutes or seconds ."}},
        {"external cycle typed", 1, "click Combo1_1; retype; off Command1_0; keys 2; "
         "on Command1_0"},
        {"external cycle 00 or abc", 1, "click Combo1_1; retype 00; off Command1_0; handler; "
         "retype abc; handler", {Cycle, Cycle}},
        {"external cycle too long", 1, "click Combo1_1; retype 123456789; is Combo1_1 0"},
        {"external table without current", 1, "click Combo1_0; retype zero; click Command1_2; "
         "cellis 1 1 12.0; off Command1_0", {}},
        // A table opens when picked from the list, never as its name is typed.
        {"internal name typed, then picked", 0, "click Combo0_0; retype oth; is Combo0_0 oth; "
         "keys er; key Return; click Combo0_1; cellis 1 1 05.0; pick Combo0_0 other; "
         "cellis 1 1 07.0; states Command0 1111011; click Command0_3; states Command0 0111011; "
         "cellis 1 1 7; click Command0_6; states Command0 0100000", {}},
        {"external empty name picked", 1, "pick Combo1_0; rows 11; cellis 1 1 05.0", {}},
        {"preset picked", 2, "pick Combo2 set; cellis 9 3 1.00; checked Option1_1 no; "
         "states Command2 1111011; click Command2_6; states Command2 0101000; drop C_set; "
         "pick Combo2 set", {"no such table: C_set"}},
        // Nothing over the supply's limits, nor wider than its field, goes out from a table
        // stored for a larger supply or by an older version.
        {"external table over the limits", 1, "click Combo1_0; retype big; click Command1_2; "
         "click Command1_0; is Command1_0 Run", {Over.arg("Step 1", "voltage 50 V", "30 V")}},
        {"internal tables over the limits", 0, "click Combo0_0; retype big; click Command0_3; "
         "click Command0_2; click Combo0_0; retype old; click Command0_3; click Command0_2",
         {Over.arg("Step 1", "current 5 A", "3 A"),
          "Step 1 cannot be sent to the power supply: the voltage 150 V is out of range ."}},
        {"preset table over the limits", 2, "click Combo2; retype big; click Command2_3; "
         "click Command2_2", {Over.arg("Memory 9", "voltage 40 V", "30 V")}},
        // The setpoint boxes on Enter and on leaving by Tab, in each handler's wording, and
        // Enter in the current box, which sets: nothing that fails is sent, and one refusal is
        // one message.
        {"Enter refused", 0, "set Text2_0 30.1; set Text2_1 0; click Text2_0; key Return; "
         "is Text2_0 00.0; click Text2_1; key Return; is Text2_1 0.00; is Text2_0 00.0V",
         {VO, C2}},
        {"left", 0, "set Text2_0 31; set Text2_1 0; click Text2_0; key Tab; is Text2_0 00.0V; "
         "click Text2_1; key Tab; is Text2_1 0.00A", {V2, CO}},
        {"comma in a box", 0, "set Text2_0 12,5; click Text2_0; key Tab; is Text2_0 12.5V"},
        {"a -1 reading is no setpoint", 0, "set Text2_0 -01.0V; set Text2_1 1.00A; "
         "click Text2_1; key Return; is Text2_1 1.00A; key Tab; is Text2_0 00.0V", {V2}},
        {"Set by Enter", 0, "set Text2_0 5V; set Text2_1 0,5; click Text2_0; key Return; "
         "key Return; focus Text2_0", {}, "VOLT050\rCURR050\r"},
        {"setpoint colours", 0, "set Text2_0 5; set Text2_1 1; colour Text2_0 green; "
         "on Command4_0; click Text2_1; retype 0.00; colour Text2_0 black; off Command4_0"},
        {"Enter with no voltage", 0, "set Text2_0; set Text2_1 1; click Text2_1; key Return; "
         "focus Text2_0"},
        // A script's setpoints round and refuse as the boxes do: 0.004 A would be 0 A.
        {"a script sets as Set does", 0, "set Text2_0 5.05; set Text2_1 0.004; click Text2_1; "
         "key Return; script VOLT_5.05|CURR_0.004|:SYST:ERR?; replied -222,\"Data_out_of_range|"
         "_Current_must_be_0.01_-_3_and_2_digit_o_precision_.\"; set Text2_1 1; "
         "click Command4_0", {C2}, "VOLT051\rVOLT051\rCURR100\r"},
        // A script's run never takes in the value the operator is typing into a cell.
        {"a script's run while a cell is typed", 0, "cell 1 1; keys 7; "
         "script PROG:INT:RUN_'ramp',1|:SYST:ERR?; replied -221,\"Settings_conflict|_a_cell_is_"
         "being_edited_on_the_Internal_Timed_Program_page\"; editing yes; key Return; "
         "cellis 1 1 07.0"},
    };
    // clang-format on
    return rows;
}
} // namespace

class TestOperator : public QObject {
    Q_OBJECT
private slots:
    void controlsByRealEvents_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < rows().size(); ++i)
            QTest::newRow(rows()[i].name) << i;
    }
    void controlsByRealEvents() {
        QFETCH(int, row);
        const Row &r = rows()[row];
        Desk d(r.page);
        d.play(r.script);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(d.f.dialogs.takeTexts(), r.said);
        QCOMPARE(d.wire(), r.wire);
    }
};

QTEST_MAIN(TestOperator)
#include "test_operator.moc"
