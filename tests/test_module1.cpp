#include "Module1.h"

#include <QTest>
#include <limits>

using namespace Module1;

class TestModule1 : public QObject {
    Q_OBJECT
private slots:
    void normDecimalStr_data() {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::addColumn<double>("value");
        auto row = [](const char *in, const char *out, double value) {
            QTest::newRow(in) << QString(in) << QString(out) << value;
        };
        row("12,5", "12.5", 12.5);
        row("12.5", "12.5", 12.5);
        row("125", "125", 125);
        row("", "", 0);
        row("1,2,3", "1.2,3", 1.2); // only the first separator
        row(",5", ".5", 0.5);
        row("12,", "12.", 12);
        row("1.2,3", "1.2,3", 1.2);
    }
    void normDecimalStr() {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QFETCH(double, value);
        const QString original = in;
        QCOMPARE(NormDecimalStr(in), out);
        QCOMPARE(in, original);
        QCOMPARE(LeadingNumber(NormDecimalStr(in)), value);
    }

    void leadingNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("unit") << "12.3V" << 12.3;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("letters") << "abc" << 0.0;
        QTest::newRow("blank first") << " 1" << 1.0;
        QTest::newRow("two points") << "1.2.3" << 1.2;
        QTest::newRow("comma stops") << "12,5" << 12.0;
        QTest::newRow("negative") << "-3" << -3.0;
        QTest::newRow("point only") << "." << 0.0;
        QTest::newRow("digits then garbage") << "3#?" << 3.0;
        QTest::newRow("inner blank stops") << "1 2" << 1.0;
    }
    void leadingNumber() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(LeadingNumber(text), value);
        QCOMPARE(LeadingNumber(text.toLatin1()), value);
    }

    void format_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        auto row = [](const char *name, float value, const char *pattern, const char *text) {
            QTest::newRow(name) << value << QString(pattern) << QString(text);
        };
        row("volt", 12.34f, "00.0", "12.3");
        row("volt pad", 5.0f, "00.0", "05.0");
        row("volt zero", 0.0f, "00.0", "00.0");
        row("curr", 0.05f, "0.00", "0.05");
        row("curr whole", 3.0f, "0.00", "3.00");
        row("half up one place", 0.05f, "0.0", "0.1");
        row("half up as typed", 2.675f, "0.00", "2.68");
        row("half of a volt step", 12.25f, "00.0", "12.3");
        row("carry", 99.95f, "00.0", "100.0");
        row("wire volt", 12.3f * 10, "000", "123");
        row("wire small", 0.05f * 100, "000", "005");
        row("wire 1.15", 1.15f * 100, "000", "115");
        row("minutes", 1.0f, "00", "01");
        row("negative", -1.25f, "0.0", "-1.3");
        row("negative to zero", -0.04f, "0.0", "0.0");
    }
    void format() {
        QFETCH(float, value);
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QCOMPARE(Format(value, pattern), text);
    }

    // Every finite number is written out in full; no buffer runs short.
    void formatAnyNumber() {
        const QString huge = Format(1e300, "00.0");
        QVERIFY(huge.size() == 303 && huge.endsWith(".0"));
        QCOMPARE(LeadingNumber(huge), 1e300);
        QCOMPARE(Format(-1e300, "000").size(), 302);
        QCOMPARE(Format(std::numeric_limits<double>::max(), "0").size(), 309);
        QCOMPARE(Format(std::numeric_limits<double>::denorm_min(), "0.00"), QString("0.00"));
        QCOMPARE(Format(std::numeric_limits<float>::max(), "0").size(), 39);
        QCOMPARE(Format(std::numeric_limits<double>::infinity(), "00.0"), QString("inf"));
        QCOMPARE(Format(-std::numeric_limits<float>::infinity(), "00.0"), QString("-inf"));
        QCOMPARE(Format(std::numeric_limits<double>::quiet_NaN(), "0.00"), QString("nan"));
        QCOMPARE(NumStr(-std::numeric_limits<double>::denorm_min()), QString("-5e-324"));
    }

    void numberTexts() {
        for (const auto &[value, text] : {std::pair{30.0f, "30"},
                                          {2.5f, "2.5"},
                                          {0.1f, "0.1"},
                                          {0.01f, "0.01"},
                                          {29.9f, "29.9"}})
            QCOMPARE(NumStr(value), QString(text));
        QCOMPARE(NumStr(3.0), QString("3"));
        QCOMPARE(StrSigned(1) + StrSigned(0) + StrSigned(-1), QString(" 1 0-1"));
        for (const auto &[x, n] : {std::pair{2.5, 2.0},
                                   {3.5, 4.0},
                                   {-2.5, -2.0},
                                   {-3.5, -4.0},
                                   {2.4, 2.0},
                                   {2.6, 3.0},
                                   {0.5, 0.0}})
            QCOMPARE(nearest(x), n); // halves to the even neighbour
    }

    void sharedStateStartsAsDocumented() {
        MeasVolt = 3;
        SampleMs = 500;
        ResetSharedState();
        QVERIFY(MeasVolt == -1 && MaxVolt == 0 && !Connected && PollInterval == 300);
        QCOMPARE(SampleMs, qint64(2000));
        QCOMPARE(NotReadyMsg,
                 QString("The Power Supply is not ready .\r\nMake sure the Power Supply "
                         "is\r\nturned on and connected to the computer ."));
    }
};

QTEST_APPLESS_MAIN(TestModule1)
#include "test_module1.moc"
