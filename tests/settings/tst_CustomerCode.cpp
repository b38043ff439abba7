#include "settings/UserDef.h"

#include <QTest>

// What counts as a customer code, and how it is stored.
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
        const std::optional<QString> code = UserDef::normalizedCustomerCode(typed);
        QCOMPARE(UserDef::isValidCustomerCode(typed), !stored.isEmpty());
        if (stored.isEmpty()) {
            QVERIFY2(!code, qPrintable(code.value_or(QString())));
        } else {
            QCOMPARE(code, std::optional<QString>(stored));
        }
    }
};

QTEST_GUILESS_MAIN(TestCustomerCode)
#include "tst_CustomerCode.moc"
