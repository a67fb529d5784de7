// The guards' rule: readings in, whether a guard acts and at which reading, and the words out.
#include "GuardKeeper.h"
#include "Guards.h"

#include <QSignalSpy>

#include <QTest>

using namespace Guards;

class TestGuards : public QObject {
    Q_OBJECT
private slots:
    void conditions_data() {
        QTest::addColumn<int>("condition");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("hold");
        // "t volt curr mode set ah": "-" for no reading, mode "cv" or "cc"; "tick t" for time
        // passing without a poll.
        QTest::addColumn<QStringList>("polls");
        QTest::addColumn<int>("actsAt"); // the poll that acts; -1 none
        QTest::addColumn<QString>("words");
        QTest::newRow("current above, a missing reading holds the hold")
            << int(CurrentAbove) << 2.0 << 1.0
            << QStringList{"0 12 2.31 cc 12 0", "0.3 12 2.31 cc 12 0", "0.6 - - - 12 0",
                           "1.0 12 2.31 cc 12 0"}
            << 3 << "Tripped: current 2.31 A above 2.00 A for 1 s";
        QTest::newRow("current above, broken by one reading under")
            << int(CurrentAbove) << 2.0 << 1.0
            << QStringList{"0 12 2.5 cc 12 0", "0.5 12 1.9 cv 12 0", "1.0 12 2.5 cc 12 0",
                           "1.6 12 2.5 cc 12 0"}
            << -1 << "";
        QTest::newRow("a charge's end in C.V.")
            << int(CurrentBelowInCv) << 0.05 << 60.0
            << QStringList{"0 4.2 0.048 cc 4.2 0", "10 4.2 0.048 cv 4.2 0", "40 4.2 0.049 cv 4.2 0",
                           "70 4.2 0.048 cv 4.2 0"}
            << 3 << "Done: current 0.048 A below 0.050 A in C.V. for 60 s";
        QTest::newRow("C.C. held") << int(ConstantCurrent) << 0.0 << 5.0
                                   << QStringList{"0 5 1 cc 12 0", "2 12 1 cv 12 0",
                                                  "3 5 1 cc 12 0", "8 5 1 cc 12 0"}
                                   << 3 << "Tripped: C.C. for 5 s";
        QTest::newRow("voltage pulled down while set above")
            << int(VoltageBelow) << 4.0 << 2.0
            << QStringList{"0 3.1 3 cc 12 0", "2 3.1 3 cc 12 0"} << 1
            << "Tripped: voltage 3.10 V below 4.00 V for 2 s, set to 12.00 V";
        QTest::newRow("voltage below, but set below too")
            << int(VoltageBelow) << 4.0 << 0.0 << QStringList{"0 3.0 0.3 cv 3 0"} << -1 << "";
        QTest::newRow("voltage above at once") << int(VoltageAbove) << 12.5 << 0.0
                                               << QStringList{"0 12.6 1 cv 12 0"} << 0
                                               << "Tripped: voltage 12.60 V above 12.50 V for 0 s";
        QTest::newRow("charge reached") << int(ChargeReaches) << 1.0 << 0.0
                                        << QStringList{"0 4 1 cc 4.2 0.5", "9 - - - 4.2 1.0"}
                                        << 1 << "Done: charge reached 1.000 Ah";
        QTest::newRow("time limit") << int(TimeReaches) << 0.0 << 7200.0
                                    << QStringList{"7199 4 1 cc 4.2 0", "7200 4 1 cc 4.2 0"} << 1
                                    << "Done: 2:00 since arming";
        QTest::newRow("no reading, told by the timer")
            << int(NoReading) << 0.0 << 30.0
            << QStringList{"0 12 1 cv 12 0", "20 - - - 12 0", "tick 29", "tick 30", "tick 40"}
            << 3 << "Tripped: no reading for 30 s";
    }
    void conditions() {
        QFETCH(int, condition);
        QFETCH(double, x);
        QFETCH(double, hold);
        QFETCH(QStringList, polls);
        QFETCH(int, actsAt);
        QFETCH(QString, words);
        Settings settings{};
        settings[size_t(condition)] = {true, x, hold};
        Watch watch;
        watch.Arm(settings, 0);
        int acted = -1;
        for (int k = 0; k < polls.size(); ++k) {
            const QStringList f = polls[k].split(u' ');
            std::optional<Verdict> v;
            if (f[0] == u"tick") {
                v = watch.Tick(f[1].toDouble());
            } else {
                Reading r;
                r.atS = f[0].toDouble();
                if (f[1] != u"-")
                    r.volt = f[1].toDouble(), r.curr = f[2].toDouble(),
                    r.constantCurrent = f[3] == u"cc";
                r.setVolt = f[4].toDouble();
                r.ah = f[5].toDouble();
                v = watch.Feed(r);
            }
            if (v) {
                QCOMPARE(acted, -1); // once only
                acted = k;
                QCOMPARE(v->words, words);
                QCOMPARE(v->kind, KindOf(Condition(condition)));
                QVERIFY(!watch.Armed());
            }
        }
        QCOMPARE(acted, actsAt);
    }

    void armRefusals() {
        const auto refusal = [](Condition c, double x, double hold, double setCurr = 1) {
            Settings s{};
            s[c] = {true, x, hold};
            return ArmRefusal(s, 30, 3, setCurr);
        };
        QCOMPARE(ArmRefusal(Settings{}, 30, 3, 1),
                 QStringLiteral("No guard is ticked: there is nothing to watch."));
        QCOMPARE(refusal(CurrentAbove, 3.5, 1),
                 QStringLiteral("Current above 3.50 A can never happen: the supply gives 3.00 A "
                                "at most."));
        QCOMPARE(refusal(CurrentBelowInCv, 0.05, 60, 0.04),
                 QStringLiteral("The set current 0.040 A is under 0.050 A: \"current below "
                                "0.050 A in C.V.\" would act at once."));
        QCOMPARE(refusal(TimeReaches, 0, 0), QStringLiteral("A time limit must be above 0:00."));
        QCOMPARE(refusal(CurrentAbove, 2, 1), QString());
        QCOMPARE(refusal(CurrentBelowInCv, 0.05, 60, 1), QString());
        QCOMPARE(Keyword(CurrentBelowInCv), QStringLiteral("CURR:LOW"));
    }

    // The settings records: what a restart reads back, each within the table's 50 characters,
    // and a damaged one arms nothing.
    void remembered() {
        Plan plan;
        plan.armed = true;
        plan.safeCurr = 0.05;
        plan.conditions[CurrentBelowInCv] = {true, 0.05, 60};
        plan.conditions[TimeReaches] = {true, 0, 5 * 3600};
        plan.conditions[CurrentAbove] = {false, 2.5, 1}; // typed, not ticked
        QHash<QString, QString> table;
        for (const auto &[name, value] : ToRecords(plan)) {
            QVERIFY(name.size() <= 50 && value.size() <= 50);
            table[name] = value;
        }
        QCOMPARE(table.size(), 1 + int(ConditionCount));
        QCOMPARE(table["Guards"], QStringLiteral("armed=1;safe=0.00,0.050;stoprec=0"));
        QCOMPARE(table["Guard CURR:LOW"], QStringLiteral("on,0.05,60"));
        QCOMPARE(table["Guard CURR:HIGH"], QStringLiteral("off,2.5,1"));
        const auto read = [&](const QString &name) -> std::optional<QString> {
            if (!table.contains(name))
                return std::nullopt;
            return table[name];
        };
        const auto back = FromRecords(read);
        QVERIFY(back && back->armed && back->safeCurr == 0.05 && !back->stopRecording);
        QVERIFY(back->conditions[CurrentBelowInCv].on && back->conditions[TimeReaches].holdS == 18000);
        QVERIFY(!back->conditions[CurrentAbove].on && back->conditions[CurrentAbove].x == 2.5);
        table.remove("Guard TIME"); // an older file: not ticked
        QVERIFY(!FromRecords(read)->conditions[TimeReaches].on);
        for (const auto &[name, bad] :
             {std::pair<QString, QString>{"Guards", "armed=2;safe=0,0.01;stoprec=0"},
              {"Guards", "armed=1;safe=0,0.01"}, {"Guards", "armed=1;safe=0,x;stoprec=0"},
              {"Guard CC", "on,0"}, {"Guard CC", "yes,0,5"}, {"Guard CC", "on,0,inf"}}) {
            QHash<QString, QString> damaged = table;
            damaged[name] = bad;
            QVERIFY2(!FromRecords([&](const QString &n) -> std::optional<QString> {
                         if (!damaged.contains(n))
                             return std::nullopt;
                         return damaged[n];
                     }),
                     qPrintable(bad));
        }
        QVERIFY(!FromRecords([](const QString &) { return std::optional<QString>(); }));
    }

    // The keeper over the rule: the panel's counters zeroed under a watch count on, a "no
    // reading" that held waits for a reading before it is carried out, and the words a script
    // and the panel read.
    void keeper() {
        Keeper k;
        QSignalSpy changed(&k, &Keeper::changed);
        Plan plan;
        plan.conditions[ChargeReaches] = {true, 1.0, 0};
        plan.conditions[NoReading] = {true, 0, 10};
        QCOMPARE(k.Arm(plan, 100, 30, 3, 1), QString());
        QVERIFY(k.Current().armed && changed.count() == 1);
        QCOMPARE(k.Line(), QStringLiteral("Guards armed: done at 1.000 Ah, no reading for 10 s"));
        const auto at = [](double t, double ah, bool reading = true) {
            Reading r{t, {}, {}, false, 4.2, 1, ah, 0};
            if (reading)
                r.volt = 4.0, r.curr = 1.0;
            return r;
        };
        QVERIFY(!k.Feed(at(101, 5.0))); // the totals before arming do not count
        QVERIFY(!k.Feed(at(102, 5.6)));
        QVERIFY(!k.Feed(at(103, 0.1))); // zeroed, then 0.1 more: 0.7 Ah since arming
        QCOMPARE(*k.NextTickS(), 113.0);
        k.Tick(112.9);
        QVERIFY(!k.Pending());
        k.Tick(113);
        QVERIFY(k.Pending() && k.StateWord() == QStringLiteral("ARMED"));
        QCOMPARE(k.Line(), QStringLiteral("Tripped: no reading for 10 s: acts when the supply "
                                          "answers"));
        QVERIFY(!k.Feed(at(114, 0.1, false))); // still nothing read
        const auto v = k.Feed(at(120, 0.9)); // the supply answers: carried out now, whatever else
        QVERIFY(v && v->condition == NoReading && v->kind == Kind::Trip);
        QCOMPARE(k.StateWord(), QStringLiteral("TRIPPED NREAD"));
        QVERIFY(!k.Current().armed && k.Line() == v->words && !k.NextTickS());
        QVERIFY(!k.Feed(at(121, 5))); // once
        QCOMPARE(k.Arm(plan, 200, 30, 3, 1), QString());
        QVERIFY(!k.Feed(at(201, 0)) && !k.Feed(at(202, 0.5)));
        QCOMPARE(k.Feed(at(203, 1.0))->words, QStringLiteral("Done: charge reached 1.000 Ah"));
        QCOMPARE(k.StateWord(), QStringLiteral("DONE CHAR"));
        k.Disarm();
        QVERIFY(k.StateWord() == QStringLiteral("OFF") && k.Line().isEmpty());
        // A field the supply cannot have made is no reading: the window leaves it out.
        QVERIFY(Plausible(30.5, 3.1, 30, 3) && Plausible(1, 1, 0, 0));
        QVERIFY(!Plausible(99.9, 1, 30, 3) && !Plausible(5, 9.99, 30, 3) && !Plausible(-1, 0, 30, 3));
    }
};

QTEST_MAIN(TestGuards)
#include "test_guards.moc"
