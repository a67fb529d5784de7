#include "Module1.h"

#include <QTest>
#include <limits>

using namespace Module1;

class TestModule1 : public QObject {
    Q_OBJECT
private slots:
    // The comma rule, then the leading-number parse of its result and of the text as it stands.
    void commaRuleAndLeadingNumber() {
        const struct {
            const char *in, *normal;
            double value, straight; // after the comma rule; without it
        } cases[] = {
            // clang-format off
            {"12,5", "12.5", 12.5, 12},    {"12.5", "12.5", 12.5, 12.5},  {"", "", 0, 0},
            {"1,2,3", "1.2,3", 1.2, 1},    {",5", ".5", 0.5, 0},          {"12,", "12.", 12, 12},
            {"1.2,3", "1.2,3", 1.2, 1.2},  {"12.3V", "12.3V", 12.3, 12.3}, {"abc", "abc", 0, 0},
            {" 1", " 1", 1, 1},            {"1.2.3", "1.2.3", 1.2, 1.2},  {"-3", "-3", -3, -3},
            {".", ".", 0, 0},              {"3#?", "3#?", 3, 3},          {"1 2", "1 2", 1, 1},
            // clang-format on
        };
        for (const auto &c : cases) {
            const QString in = c.in;
            QCOMPARE(NormDecimalStr(in), QString(c.normal));
            QCOMPARE(in, QString(c.in)); // the argument is left as it was
            QCOMPARE(LeadingNumber(NormDecimalStr(in)), c.value);
            QCOMPARE(LeadingNumber(in), c.straight);
            QCOMPARE(LeadingNumber(in.toLatin1()), c.straight);
        }
    }

    void format() {
        const struct {
            float value;
            const char *pattern, *text;
        } cases[] = {
            {12.34f, "00.0", "12.3"},    {5.0f, "00.0", "05.0"},
            {0.0f, "00.0", "00.0"},      {0.05f, "0.00", "0.05"},
            {3.0f, "0.00", "3.00"},      {0.05f, "0.0", "0.1"}, // halves up, one place
            {2.675f, "0.00", "2.68"},                           // halves up as typed
            {12.25f, "00.0", "12.3"},                           // half of a volt step
            {99.95f, "00.0", "100.0"},                          // carry
            {12.3f * 10, "000", "123"},  {0.05f * 100, "000", "005"},
            {1.15f * 100, "000", "115"}, {1.0f, "00", "01"},
            {-1.25f, "0.0", "-1.3"},     {-0.04f, "0.0", "0.0"},
        };
        for (const auto &c : cases)
            QCOMPARE(Format(c.value, c.pattern), QString(c.text));
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
        using Limits = std::numeric_limits<double>;
        QCOMPARE(Format(Limits::infinity(), "00.0") + Format(-float(Limits::infinity()), "0") +
                     Format(Limits::quiet_NaN(), "0.00"),
                 QString("inf-infnan"));
        QCOMPARE(NumStr(-std::numeric_limits<double>::denorm_min()), QString("-5e-324"));
    }

    void numberTexts() {
        QString texts;
        for (float value : {30.0f, 2.5f, 0.1f, 0.01f, 29.9f})
            texts += NumStr(value) + u' ';
        QCOMPARE(texts, QString("30 2.5 0.1 0.01 29.9 "));
        QCOMPARE(NumStr(3.0), QString("3"));
        QCOMPARE(StrSigned(1) + StrSigned(0) + StrSigned(-1), QString(" 1 0-1"));
        QString rounded; // halves to the even neighbour
        for (double x : {2.5, 3.5, -2.5, -3.5, 2.4, 2.6, 0.5})
            rounded += QString::number(nearest(x)) + u' ';
        QCOMPARE(rounded, QString("2 4 -2 -4 2 3 0 "));
    }
};

QTEST_APPLESS_MAIN(TestModule1)
#include "test_module1.moc"
