// Program tables: the cell rules, editing in the grids with real key events, and the table flows
// of the three pages against a real database file.
#include "GridEditor.h"
#include "Module1.h"
#include "ProgramRules.h"
#include "Tables.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>

using namespace ProgramRules;
using Module1::MaxCurr;
using Module1::MaxVolt;

namespace {
const QString V1 = "Voltage must be 0 or 0.1 - 30 and 1 digit of precision.";
const QString C1 = "Current must be 0.01 - 3 and 2 digit of precision.";
const QString V2 = "Voltage must be 0 or 0.1 - 30 and 1 digit of precision .";
const QString C2 = "Current must be 0.01 - 3 and 2 digit of precision .";
const QString M = "The minute value must be between 1 and 99 .";
const QString S = "The second value must be between 1 and 59 .";

QStringList timedRow(const char *v, const char *c, const char *m, const char *s) {
    return {"1", v, c, m, s};
}
} // namespace

class TestTables : public QObject {
    Q_OBJECT

    // A connected window (30 V, 3 A) shown and active, on the given page.
    static TabbedFrm &shown(WindowFixture &f, int page) {
        TabbedFrm &w = f.startConnected();
        w.show();
        if (!QTest::qWaitForWindowActive(&w))
            qWarning("window not active");
        w.Tab1->setCurrentIndex(page);
        return w;
    }
    // Clicks a cell, types into the editor and leaves the cell with a key.
    static void type(TabbedFrm &w, int row, int col, const QString &text, int leaveKey = 0) {
        ProgramGrid *g = w.editor->CurrentGrid();
        g->setFocus();
        g->SetCurrent(row, col);
        QLineEdit *ed = w.editor->Text5;
        QVERIFY(ed->isVisible() && ed->hasFocus());
        QCOMPARE(ed->geometry(), g->CellRect(row, col));
        ed->selectAll();
        QTest::keyClicks(ed, text);
        if (leaveKey)
            QTest::keyClick(ed, Qt::Key(leaveKey));
    }

    // The enabled states of a button array, "1" or "0" each.
    template <typename Buttons> static QString states(const Buttons &buttons) {
        QString s;
        for (QPushButton *b : buttons)
            s += b->isEnabled() ? '1' : '0';
        return s;
    }
    static ProgramPage *pageOf(TabbedFrm &w, int page) {
        return page == 0   ? static_cast<ProgramPage *>(w.internalPage)
               : page == 1 ? static_cast<ProgramPage *>(w.externalPage)
                           : w.presetPage;
    }
    // A page button's handler by page and index.
    static void click(TabbedFrm &w, int page, int index) {
        if (page == 0)
            w.internalPage->Command0_Click(index);
        else if (page == 1)
            w.externalPage->Command1_Click(index);
        else
            w.presetPage->Command2_Click(index);
    }

private slots:
    void init() {
        Module1::ResetSharedState();
        MaxVolt = 30;
        MaxCurr = 3;
    }

    // What a cell shows while typed into, and what it keeps with which message once left.
    void cellRules_data() {
        QTest::addColumn<int>("grid");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("live");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("message");
        auto row = [](const char *name, int g, int c, const QString &t, const char *live,
                      const char *cell, const QString &msg) {
            QTest::newRow(name) << g << c << t << live << cell << msg;
        };
        row("31 V internal", 0, 1, "31", "31", "00.0", V1);
        row("150 V", 0, 1, "150", "150", "00.0", V1); // out of range: general form
        row("31 V preset", 2, 2, "31", "31", "00.0", V2);
        row("12.5 V preset", 2, 2, "12.5", "12.5", "12.5", "");
        row("0 V", 1, 1, "0", "00.0", "00.0", "");
        row("12.34 V", 0, 1, "12.34", "12.3", "12.3", "");
        row("letters as voltage", 0, 1, "abc", "00.0", "00.0", "");
        row("300 nines", 0, 1, QString(300, u'9'), "1e+300", "00.0", V1);
        row("0 A timed", 0, 2, "0", "0.00", "0.00", C1);
        row("0 A preset", 2, 3, "0", "0.00", "0.00", C2);
        row("letters as current", 1, 2, "x", "0.00", "0.00", C1);
        row("comma current", 0, 2, "1,5", "1.00", "1.50", ""); // no comma rule while typing
        row("minute 0", 0, 3, "0", "00", "00", "");
        row("minute 99", 1, 3, "99", "99", "99", "");
        row("minute 100", 0, 3, "100", "100", "00", M);
        row("second 60", 1, 4, "60", "60", "00", S);
        row("second 59", 1, 4, "59", "59", "59", "");
        row("second 5", 0, 4, "5", "05", "05", "");
    }
    void cellRules() {
        QFETCH(int, grid);
        QFETCH(int, col);
        QFETCH(QString, typed);
        QFETCH(QString, live);
        QFETCH(QString, cell);
        QFETCH(QString, message);
        QCOMPARE(LiveText(grid, col, typed), std::optional<QString>(live));
        const auto c = CommitCell(grid, col, typed);
        QVERIFY(c);
        QCOMPARE(c->text + '|' + c->message, cell + '|' + message);
        QVERIFY(!CommitCell(grid, 0, typed) && !LiveText(grid, 0, typed)); // fixed columns
    }

    void colouringAndRunCheck() {
        using C = Colour;
        const auto zero = timedRow("00.0", "0.00", "00", "00");
        // Steps 1-3 timed, step 4 the terminator: green up to it, black from it on.
        Colouring c = ColourRows(
            0, {timedRow("05.0", "1.00", "01", "00"), timedRow("05.0", "1.00", "00", "30"),
                timedRow("05.0", "0.50", "00", "01"), zero, timedRow("09.0", "0.00", "01", "00")});
        QVERIFY(c.runAllowed);
        QCOMPARE(c.cells[2],
                 QList<C>({C::Default, C::DarkGreen, C::DarkGreen, C::DarkGreen, C::DarkGreen}));
        QCOMPARE(c.cells[3][1], C::Black);
        QCOMPARE(c.cells[4][2], C::Black); // after the terminator a zero current is no fault
        // A timed step 2 without current: red, and no run.
        c = ColourRows(
            1, {timedRow("05.0", "1.00", "01", "00"), timedRow("05.0", "0.00", "00", "30"), zero});
        QVERIFY(!c.runAllowed);
        QCOMPARE(c.cells[1][2], C::Red);
        // A first step without a duration: no run whatever follows.
        QVERIFY(!ColourRows(0, {zero, timedRow("05.0", "1.00", "01", "00")}).runAllowed);
        // Preset rows against the limits.
        c = ColourRows(2, {{"", " 1", "31.0", "1.00"}, {"", " 2", "00.0", "0.00"}});
        QCOMPARE(c.cells[0], QList<C>({C::Default, C::Default, C::Red, C::DarkGreen}));
        QCOMPARE(c.cells[1], QList<C>({C::Default, C::Default, C::DarkGreen, C::Red}));
    }

    void editingWithKeys() {
        WindowFixture f;
        TabbedFrm &w = shown(f, 0);
        ProgramGrid *g = w.editor->CurrentGrid();
        // Nothing typed yet: leaving a cell changes nothing, even an out-of-range one.
        g->SetTextMatrix(1, 2, "9.99");
        g->setFocus();
        g->SetCurrent(1, 2);
        QTest::keyClick(w.editor->Text5, Qt::Key_Down);
        QVERIFY(g->TextMatrix(1, 2) == "9.99" && g->Row() == 2);

        // "1,5" shows 1.00 while typing and is stored as 1.50 on leaving.
        type(w, 1, 2, "1,5");
        QCOMPARE(g->TextMatrix(1, 2), QString("1.00"));
        QVERIFY(w.internalPage->Command0[4]->isEnabled()); // typing enables Save Table
        QTest::keyClick(w.editor->Text5, Qt::Key_Right);
        QVERIFY(g->TextMatrix(1, 2) == "1.50" && g->Col() == 3);
        // No move, no check; 31 V is refused with its message once the cell is left.
        type(w, 1, 1, "31", Qt::Key_Up);
        QCOMPARE(g->TextMatrix(1, 1), QString("31"));
        f.dialogs.expectMsg(V1);
        QTest::keyClick(w.editor->Text5, Qt::Key_Down);
        QVERIFY(f.dialogs.allShown() && g->TextMatrix(1, 1) == "00.0" && g->Row() == 2);
        type(w, 1, 3, "1", Qt::Key_Enter);
        QVERIFY(g->Col() == 4 && w.internalPage->Command0[0]->isEnabled()); // timed, with current
        // Enter on the last cell of step 10 does nothing on the internal grid.
        type(w, 10, 4, "2", Qt::Key_Return);
        QVERIFY(g->Rows() == 11 && g->Row() == 10 && g->Col() == 4);
        // A zero current in a timed step forbids Run and turns red.
        f.dialogs.expectMsg(C1);
        type(w, 1, 2, "0", Qt::Key_Left);
        QVERIFY(!w.internalPage->Command0[0]->isEnabled());
        QCOMPARE(g->CellColour(1, 2), QColor(255, 0, 0));
        QVERIFY(f.dialogs.allShown());

        // Tab leaves the grid after the cell's check, Shift+Tab the other way.
        type(w, 2, 1, "150");
        f.dialogs.expectMsg(V1);
        QTest::keyClick(w.editor->Text5, Qt::Key_Tab);
        QVERIFY(f.dialogs.allShown() && w.editor->Text5->hasFocus());
        type(w, 2, 1, "12");
        QTest::keyClick(w.editor->Text5, Qt::Key_Tab);
        QVERIFY(g->TextMatrix(2, 1) == "12.0" && w.editor->Text5->isHidden());
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("Command0_1"));
        type(w, 2, 1, "5");
        QTest::keyClick(w.editor->Text5, Qt::Key_Backtab);
        QVERIFY(w.editor->Text5->isHidden() &&
                QApplication::focusWidget() == w.internalPage->Combo0[1]);
        // The page change hides the editor and forgets the typing.
        w.Tab1->setCurrentIndex(1);
        QVERIFY(w.editor->Text5->isHidden() && !w.editor->CellEdited);
    }

    // A button that reads the grid checks the cell being edited first: a value that fails never
    // goes out or into the store, and the editor keeps the focus.
    void buttonsCheckTheCellBeingEdited() {
        const struct {
            int page, col;
            const char *typed;
            int button;
            QString message; // empty: passes, and the button does its work
            const char *cell;
        } cases[] = {
            {0, 1, "150", 2, V1, "00.0"},          // internal Save to power supply
            {0, 1, "-5", 0, V1, "00.0"},           // internal Run
            {0, 2, "0", 4, C1, "0.00"},            // internal Save Table
            {1, 3, "123456789012345", 0, M, "00"}, // external Run
            {1, 4, "60", 3, S, "00"},              // external Save Table
            {2, 2, "150", 2, V2, "00.0"},          // preset Save to power supply
            {2, 3, "5", 0, C2, "0.00"},            // preset Run
            {0, 1, "12,5", 2, QString(), "12.5"},  // a value that passes
        };
        for (const auto &c : cases) {
            WindowFixture f;
            TabbedFrm &w = shown(f, c.page);
            ProgramPage *p = pageOf(w, c.page);
            p->NameBox()->setEditText("t");
            type(w, 1, c.col, c.typed);
            f.port.sent.clear();
            if (!c.message.isEmpty())
                f.dialogs.expectMsg(c.message);
            // As a click does: the button takes the focus, then its handler runs.
            w.findChild<QPushButton *>(QString("Command%1_%2").arg(c.page).arg(c.button))
                ->setFocus();
            click(w, c.page, c.button);
            QVERIFY(f.dialogs.allShown());
            QCOMPARE(p->FGrid->TextMatrix(1, c.col), QString(c.cell));
            const bool refused = !c.message.isEmpty();
            QCOMPARE(w.editor->Text5->isVisible() && w.editor->Text5->hasFocus(), refused);
            QCOMPARE(w.editor->Text5->selectedText(), refused ? QString(c.cell) : QString());
            QCOMPARE(f.port.sent.isEmpty(), refused);
            QVERIFY(!w.db().TableNames().contains(p->Prefix() + "t"));
        }
    }

    void externalGridGrowsToAHundredSteps() {
        WindowFixture f;
        TabbedFrm &w = shown(f, 1);
        ProgramGrid *g = w.editor->CurrentGrid();
        type(w, 10, 4, "5", Qt::Key_Enter);
        QCOMPARE(g->DataRows().value(10), QStringList({"11", "00.0", "0.00", "00", "00"}));
        QVERIFY(g->Rows() == 12 && w.externalPage->Text1->text() == "11");
        QVERIFY(g->columnWidth(1) == TwipsToPixels(1070) && g->columnWidth(2) == g->columnWidth(1));
        QVERIFY(g->Row() == 11 && g->Col() == 1);
        // "New" clamps the count and checks no cell of the old grid; the editor follows its
        // cell when the grid scrolls.
        type(w, 11, 1, "31");
        w.externalPage->Text1->setText("250");
        w.externalPage->Command1_Click(1);
        QVERIFY(g->Rows() == 101 && w.externalPage->Text1->text() == "100");
        type(w, 100, 4, "1", Qt::Key_Enter);
        QCOMPARE(g->Rows(), 101); // full
        QCOMPARE(w.editor->Text5->geometry(), g->CellRect(100, 4));
        g->verticalScrollBar()->setValue(0);
        QCOMPARE(w.editor->Text5->geometry(), g->CellRect(100, 4));
        w.externalPage->Text1->setText("3");
        QTest::keyClick(w.externalPage->Text1, Qt::Key_Return); // Enter runs "New"
        QCOMPARE(g->Rows(), 4);
        w.externalPage->Text1->setText("0");
        w.externalPage->Command1_Click(1);
        QCOMPARE(g->Rows(), 2);
        // The row-count box and its buttons.
        ExternalPage *p = w.externalPage;
        for (auto [start, button, result] : {std::tuple{"1", 1, "1"},
                                             {"100", 0, "100"},
                                             {"abc", 1, "1"},
                                             {"abc", 0, "1"},
                                             {"7", 1, "6"}}) {
            p->Text1->setText(start);
            p->Command3_Click(button);
            QCOMPARE(p->Text1->text(), QString(result));
        }
    }

    // Open, Save, overwrite, Delete and Clear with their exact messages, on each page.
    void catalogueFlows_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("emptyNameMessage");
        QTest::newRow("internal") << 0 << "Plase entry table name .";
        QTest::newRow("external") << 1 << "please enter the table name .";
        QTest::newRow("preset") << 2 << "Please entry table name .";
    }
    void catalogueFlows() {
        QFETCH(int, page);
        QFETCH(QString, emptyNameMessage);
        WindowFixture f;
        TabbedFrm &w = shown(f, page);
        ProgramPage *p = pageOf(w, page);
        auto click = [&](int tableButton) { // 0 Open, 1 Save, 2 Delete, 3 Clear
            TestTables::click(w, page, (page == 1 ? 2 : 3) + tableButton);
        };
        QComboBox *name = p->NameBox();
        ProgramGrid *g = p->FGrid;
        const QString prefix = p->Prefix();
        const QByteArray before = ReadFile(f.dbPath());
        // At start: the grid's shape, "Untitle", the buttons' states.
        QCOMPARE(g->DataRows().last(), page == 2 ? QStringList({"", " 9", "00.0", "0.00"})
                                                 : QStringList({"10", "00.0", "0.00", "00", "00"}));
        QCOMPARE(name->currentText() + ' ' +
                     (page == 0   ? states(w.internalPage->Command0)
                      : page == 1 ? states(w.externalPage->Command1)
                                  : states(w.presetPage->Command2)),
                 QString(page == 1 ? "Untitle 011100" : "Untitle 0100000"));
        if (page == 0)
            QVERIFY(g->columnWidth(1) == TwipsToPixels(1200) &&
                    w.internalPage->Combo0[1]->currentText() == "0");
        if (page == 2)
            QVERIFY(w.presetPage->FGrid->Option1[1]->isChecked());

        click(1); // "Untitle": refused without a word
        name->setEditText("");
        f.dialogs.expectMsg(emptyNameMessage);
        click(1);
        f.dialogs.expectMsg("Please entry table name .");
        click(0);
        const QString stored = "it's \"Grüße\" Ω";
        name->setEditText(stored);
        f.dialogs.expectMsg("Find not ' " + stored + " ' table .");
        click(0);
        f.dialogs.expectMsg("' " + stored + " ' table no exist !");
        click(2);
        QVERIFY(f.dialogs.allShown());
        QCOMPARE(ReadFile(f.dbPath()), before); // nothing written

        // Save a new table, then overwrite it only on Yes.
        g->SetTextMatrix(1, page == 2 ? 2 : 1, "12.5");
        click(1);
        QCOMPARE(w.statusBar()->currentMessage(), "Table '" + stored + "' saved");
        QCOMPARE(w.db().TableNames(), QStringList({"QVRSYS", prefix + stored}));
        QCOMPARE(name->currentText(), stored);
        QCOMPARE(name->itemText(0), stored);
        const auto records = w.db().ReadAll(prefix + stored);
        QCOMPARE(records.size(), page == 2 ? 9 : 10);
        QCOMPARE(records[0], page == 2 ? QStringList({"T", "12.5", "0.00"})
                                       : QStringList({"12.5", "0.00", "00", "00"}));
        g->SetTextMatrix(1, page == 2 ? 2 : 1, "20.0");
        f.dialogs.expectMsg("Table already exist. Overwrte it ?", Dialogs::Answer::No);
        click(1);
        QCOMPARE(w.db().ReadAll(prefix + stored), records);
        f.dialogs.expectMsg("Table already exist. Overwrte it ?", Dialogs::Answer::Yes);
        click(1);
        QCOMPARE(w.db().ReadAll(prefix + stored)[0].value(page == 2 ? 1 : 0), QString("20.0"));
        // Save: the internal and preset pages turn Save off, the external one Delete and Clear on.
        if (page == 1)
            QVERIFY(w.externalPage->Command1[4]->isEnabled() &&
                    w.externalPage->Command1[5]->isEnabled());
        else
            QVERIFY(!(page == 0 ? w.internalPage->Command0[4] : w.presetPage->Command2[4])
                         ->isEnabled());

        // A value the field cannot hold: the engine's description, the stored table whole.
        const auto saved = w.db().ReadAll(prefix + stored);
        g->SetTextMatrix(2, page == 2 ? 2 : 1, "123.45");
        f.dialogs.expectMsg("Table already exist. Overwrte it ?", Dialogs::Answer::Yes);
        f.dialogs.expectMsg("A value is too long for its field in table '" + prefix + stored +
                            (page == 2 ? "' (F 123.45 0.00)" : "' (123.45 0.00 00 00)"));
        click(1);
        QCOMPARE(w.db().ReadAll(prefix + stored), saved);

        // Clear: no database access; then open the stored table again.
        const QByteArray kept = ReadFile(f.dbPath());
        click(3);
        QCOMPARE(name->currentText(), QString("Untitle"));
        QCOMPARE(g->TextMatrix(1, page == 2 ? 2 : 1), QString("00.0"));
        QCOMPARE(ReadFile(f.dbPath()), kept);
        name->setEditText(stored);
        click(0);
        QCOMPARE(g->TextMatrix(1, page == 2 ? 2 : 1), QString("20.0"));
        // Saving under the same name runs the name box's change rule: "Open Table" is on again.
        f.dialogs.expectMsg("Table already exist. Overwrte it ?", Dialogs::Answer::Yes);
        click(1);
        QVERIFY(w.findChild<QPushButton *>(QString("Command%1_%2").arg(page).arg(page == 1 ? 2 : 3))
                    ->isEnabled());

        // Delete: No keeps it; Yes removes it, clears the grid and the name.
        const QString question = "Are you sure to delete th table '" + stored + "' ?";
        f.dialogs.expectMsg(question, Dialogs::Answer::No);
        click(2);
        QVERIFY(w.db().TableExists(prefix + stored));
        f.dialogs.expectMsg(question, Dialogs::Answer::Yes);
        click(2);
        QVERIFY(!w.db().TableExists(prefix + stored));
        QCOMPARE(name->count(), 0);
        QCOMPARE(name->currentText(), QString("Untitle"));
        QCOMPARE(g->TextMatrix(1, page == 2 ? 2 : 1), QString("00.0"));
        QVERIFY(f.dialogs.allShown());
        if (page == 0)
            QVERIFY(!w.internalPage->Command0[5]->isEnabled());
        else if (page == 1)
            QVERIFY(!w.externalPage->Command1[5]->isEnabled());
        else
            for (int i = 0; i < 7; ++i)
                QCOMPARE(w.presetPage->Command2[i]->isEnabled(), i == 1);
    }

    // The button states each flow leaves, and a pick from the list (ReLoadTB).
    void buttonStatesAndPicks() {
        WindowFixture f;
        {
            Database db;
            db.Open(f.dbPath());
            db.RewriteTable("B_", Tables::Fields(Tables::Family::External), {{"5", "1", "1", "0"}});
            for (const char *table : {"A_ramp", "A_other"})
                db.RewriteTable(table, Tables::Fields(Tables::Family::Internal),
                                QList<QStringList>(10, {"5", "1", "1", "0"}));
            db.RewriteTable("C_set", Tables::Fields(Tables::Family::Preset),
                            QList<QStringList>(9, {"F", "5", "1"}));
        }
        TabbedFrm &w = shown(f, 1);
        ExternalPage *e = w.externalPage;
        QCOMPARE(e->Combo1[0]->itemText(0), QString()); // "B_" is an empty entry
        e->Combo1[0]->setCurrentIndex(0);
        e->Combo1_Click(0); // empty name: nothing loaded
        QCOMPARE(e->FGrid->Rows(), 11);
        e->Command1_Click(5); // Clear: the change rule re-enables Open and Save
        QCOMPARE(states(e->Command1), QString("011100"));

        w.Tab1->setCurrentIndex(0);
        InternalPage *i = w.internalPage;
        // A name box completes nothing, and neither Enter nor leaving it loads the table typed:
        // only a pick from the list does.
        QComboBox *name = i->Combo0[0];
        name->setFocus();
        name->lineEdit()->selectAll();
        QTest::keyClicks(name, "oth");
        QCOMPARE(name->currentText(), QString("oth"));
        QTest::keyClicks(name, "er");
        QTest::keyClick(name, Qt::Key_Return);
        i->Combo0[1]->setFocus();
        QCOMPARE(i->FGrid->TextMatrix(1, 1), QString("00.0"));
        i->Combo0[0]->setCurrentIndex(0);
        i->Combo0_Click(0);
        QCOMPARE(i->FGrid->DataRows()[9], QStringList({"10", "05.0", "1.00", "01", "00"}));
        QCOMPARE(states(i->Command0), QString("1111011"));
        i->Command0_Click(3); // Open: Run off until edited
        QCOMPARE(states(i->Command0), QString("0111011"));
        QCOMPARE(i->FGrid->TextMatrix(1, 1), QString("5")); // as stored
        i->Command0_Click(6);
        QCOMPARE(states(i->Command0), QString("0100000"));

        w.Tab1->setCurrentIndex(2);
        PresetPage *p = w.presetPage;
        p->Combo2->setCurrentIndex(0);
        p->Combo2_Click();
        QVERIFY(!p->FGrid->SelectedOption()); // no "T": every row cleared
        QCOMPARE(p->FGrid->TextMatrix(9, 3), QString("1.00"));
        QCOMPARE(states(p->Command2), QString("1111011"));
        p->Command2_Click(6);
        QCOMPARE(states(p->Command2), QString("0101000"));
        // A pick of a name that is no table any more: the engine's description.
        p->Combo2->addItem("gone");
        p->Combo2->setCurrentIndex(1);
        f.dialogs.expectMsg("no such table: C_gone");
        p->Combo2_Click();
        QVERIFY(f.dialogs.allShown());
    }
};

QTEST_MAIN(TestTables)
#include "test_tables.moc"
