#include "util/StringUtil.h"

#include <QTest>

// What counts as a customer code, and how a typed one is stored.
class TestCustomerCode : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void normalised_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // "" = refused
        QTest::newRow("plain") << QStringLiteral("1234") << QStringLiteral("1234");
        QTest::newRow("leading zeros") << QStringLiteral("00456") << QStringLiteral("456");
        QTest::newRow("branch") << QStringLiteral("456-2") << QStringLiteral("456-2");
        QTest::newRow("zeros and branch") << QStringLiteral("0123-ab") << QStringLiteral("123-ab");
        QTest::newRow("blanks around") << QStringLiteral("  1234 ") << QStringLiteral("1234");
        QTest::newRow("full-width")
            << QStringLiteral("１２３４－０１") << QStringLiteral("1234-01");
        QTest::newRow("largest") << QStringLiteral("2147483647") << QStringLiteral("2147483647");
        // Refused: an integer reading would make these some other customer (or none).
        QTest::newRow("overflow 11 digits") << QStringLiteral("99999999999") << QString();
        QTest::newRow("overflow by one") << QStringLiteral("2147483648") << QString();
        QTest::newRow("letters") << QStringLiteral("abc") << QString();
        QTest::newRow("digits then letters") << QStringLiteral("12ab") << QString();
        QTest::newRow("zero") << QStringLiteral("0") << QString();
        QTest::newRow("zeros with branch") << QStringLiteral("000-1") << QString();
        QTest::newRow("empty branch") << QStringLiteral("1234-") << QString();
        QTest::newRow("second hyphen") << QStringLiteral("1234-01-02") << QString();
        QTest::newRow("negative") << QStringLiteral("-1234") << QString();
        QTest::newRow("inner blank") << QStringLiteral("12 34") << QString();
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("decimal point") << QStringLiteral("12.5") << QString();
        QTest::newRow("branch with symbol") << QStringLiteral("1234-0/1") << QString();
    }
    void normalised() {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        const std::optional<QString> code = orbel::normalizedCustomerCode(typed);
        if (stored.isEmpty()) {
            QVERIFY2(!code, qPrintable(code.value_or(QString())));
            QVERIFY(!orbel::isValidCustomerCode(typed));
        } else {
            QCOMPARE(code, std::optional<QString>(stored));
            QVERIFY(orbel::isValidCustomerCode(stored));
        }
    }

    // The stored form is checked strictly: what typing tolerates is not a stored code.
    void validStoredForm_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << QStringLiteral("1234") << true;
        QTest::newRow("branch letters") << QStringLiteral("1234-B1") << true;
        QTest::newRow("blank around") << QStringLiteral(" 1234") << false;
        QTest::newRow("line feed") << QStringLiteral("1234\n") << false;
        QTest::newRow("full-width") << QStringLiteral("１２３４") << false;
        QTest::newRow("overflow") << QStringLiteral("99999999999") << false;
        QTest::newRow("percent") << QStringLiteral("1234%") << false;
    }
    void validStoredForm() {
        QFETCH(QString, code);
        QFETCH(bool, valid);
        QCOMPARE(orbel::isValidCustomerCode(code), valid);
    }
};

QTEST_GUILESS_MAIN(TestCustomerCode)
#include "tst_CustomerCode.moc"
