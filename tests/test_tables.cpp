// Program tables: the cell rules, the colouring and run check, and the table flows of the three
// pages against a real database file (editing by keys and mouse is in test_operator).
#include "CellMessages.h"
#include "GridEditor.h"
#include "Module1.h"
#include "ProgramRules.h"
#include "Tables.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QStatusBar>
#include <QTest>

using namespace ProgramRules;
using Module1::MaxCurr;
using Module1::MaxVolt;

namespace {
QStringList timedRow(const char *v, const char *c, const char *m, const char *s) {
    return {"1", v, c, m, s};
}
} // namespace

class TestTables : public QObject {
    Q_OBJECT

    // The enabled states of a page's buttons, "1" or "0" each.
    static QString states(TabbedFrm &w, int page) {
        QString s;
        while (auto *b =
                   w.findChild<QPushButton *>(QString("Command%1_%2").arg(page).arg(s.size())))
            s += b->isEnabled() ? '1' : '0';
        return s;
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
        const QList<QStringList> rows{
            timedRow("05.0", "1.00", "01", "00"), timedRow("05.0", "1.00", "00", "30"),
            timedRow("05.0", "0.50", "00", "01"), zero, timedRow("09.0", "0.00", "01", "00")};
        Colouring c = ColourRows(0, rows);
        QVERIFY(!RunRefusal(rows));
        QCOMPARE(c.cells[2],
                 QList<C>({C::Default, C::DarkGreen, C::DarkGreen, C::DarkGreen, C::DarkGreen}));
        QCOMPARE(c.cells[3][1], C::Black);
        QCOMPARE(c.cells[4][2], C::Black); // after the terminator a zero current is no fault
        // A timed step 2 without current: red, and no run.
        const QList<QStringList> noCurrent{timedRow("05.0", "1.00", "01", "00"),
                                           timedRow("05.0", "0.00", "00", "30"), zero};
        c = ColourRows(1, noCurrent);
        QCOMPARE(c.cells[1][2], C::Red);
        QCOMPARE(RunRefusal(noCurrent), "Step 2 has no current: give it a current above 0 .");
        // A first step without a duration: no run whatever follows.
        const QList<QStringList> noTime{zero, timedRow("05.0", "1.00", "01", "00")};
        QCOMPARE(RunRefusal(noTime), "Step 1 has no time: give it minutes or seconds .");
        // Preset rows against the limits.
        c = ColourRows(2, {{"", " 1", "31.0", "1.00"}, {"", " 2", "00.0", "0.00"}});
        QCOMPARE(c.cells[0], QList<C>({C::Default, C::Default, C::Red, C::DarkGreen}));
        QCOMPARE(c.cells[1], QList<C>({C::Default, C::Default, C::DarkGreen, C::Red}));
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
        TabbedFrm &w = f.startConnected(); // 30 V, 3 A
        w.Tab1->setCurrentIndex(page);
        auto *p = static_cast<ProgramPage *>(w.Tab1->widget(page));
        auto click = [&](int tableButton) { // 0 Open, 1 Save, 2 Delete, 3 Clear
            const int i = (page == 1 ? 2 : 3) + tableButton;
            page == 0   ? w.internalPage->Command0_Click(i)
            : page == 1 ? w.externalPage->Command1_Click(i)
                        : w.presetPage->Command2_Click(i);
        };
        QComboBox *name = p->NameBox();
        ProgramGrid *g = p->FGrid;
        const QString prefix = p->Prefix();
        const QByteArray before = ReadFile(f.dbPath());
        // At start: the grid's shape, "Untitle", the buttons' states.
        QCOMPARE(g->DataRows().last(), page == 2 ? QStringList({"", " 9", "00.0", "0.00"})
                                                 : QStringList({"10", "00.0", "0.00", "00", "00"}));
        QCOMPARE(name->currentText() + ' ' + states(w, page),
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
        QVERIFY(name->currentText() == stored && name->itemText(0) == stored);
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
        QCOMPARE(states(w, page), QString(page == 0   ? "0111011"
                                          : page == 1 ? "011111"
                                                      : "0111010"));

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
        QVERIFY(name->count() == 0 && name->currentText() == "Untitle");
        QCOMPARE(g->TextMatrix(1, page == 2 ? 2 : 1), QString("00.0"));
        QVERIFY(f.dialogs.allShown());
        QCOMPARE(states(w, page), QString(page == 0   ? "0111001"
                                          : page == 1 ? "011110"
                                                      : "0100000"));
    }
};

QTEST_MAIN(TestTables)
#include "test_tables.moc"
