#include "ReportExpect.h"
#include "TestHome.h"
#include "job/JobInfo.h"
#include "report/JobInfoPrintReport.h"
#include "report/TabReports.h"
#include "settings/UserDef.h"

#include <QtTest>
#include <optional>

namespace {

using reportexpect::bodyLines;

QVariantMap schoolRecord(const char* table, int id) {
    const QVariantMap record =
        reportexpect::shippedRecord(QStringLiteral("tbl_school"), QString::fromLatin1(table), id);
    if (record.isEmpty()) {
        qWarning("shipped school catalogue lacks %s %d", table, id);
    }
    return record;
}

// A school row whose records carry the given codes; an absent code leaves the record out, the
// text "(no code)" keeps the record but without a code column.
QVariantMap rowWithCodes(const std::optional<QString>& size, const std::optional<QString>& surface,
                         const std::optional<QString>& laminate) {
    QVariantMap row{{QStringLiteral("SchoolFilePathKey"), QStringLiteral("/s/a.jpg")},
                    {QStringLiteral("SchoolOrderNumKey"), QStringLiteral("1")}};
    const auto put = [&row](const char* key, const std::optional<QString>& code) {
        if (!code) {
            return;
        }
        QVariantMap record{{QStringLiteral("name"), QStringLiteral("名")}};
        if (*code != QStringLiteral("(no code)")) {
            record.insert(QStringLiteral("code"), *code);
        }
        row.insert(QString::fromLatin1(key), record);
    };
    put("SchoolSizePopKey", size);
    put("SchoolSurfacePopKey", surface);
    put("SchoolLaminatePopKey", laminate);
    return row;
}

} // namespace

class TestSchoolReport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void threeRowsWithMemosMatchByteForByte();
    void productCodeRules_data();
    void productCodeRules();
    void readsItsOwnKeysOnly();
};

void TestSchoolReport::threeRowsWithMemosMatchByteForByte() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("スクール"));
    const QString group = home.filePath(QStringLiteral("school/3年1組.jpg"));
    const QString portrait = home.filePath(QStringLiteral("school/個人/髙橋.jpg"));
    const QString board = home.filePath(QStringLiteral("school/welcome.jpg"));
    UserDef::setSchoolOrderArray(
        {QVariantMap{
             {QStringLiteral("SchoolFilePathKey"), group},
             {QStringLiteral("SchoolOrderNumKey"), QStringLiteral("5")},
             {QStringLiteral("SchoolCateoryPopKey"), schoolRecord("tb_school_list", 3)},
             {QStringLiteral("SchoolSizePopKey"), schoolRecord("tb_school_size", 3)},
             {QStringLiteral("SchoolSurfacePopKey"), schoolRecord("tb_school_surface", 1)},
             {QStringLiteral("SchoolLaminatePopKey"), schoolRecord("tb_school_laminate", 1)},
             {QStringLiteral("SchoolOrderMemoKey"), QStringLiteral("クラス順に\r並べてください")}},
         QVariantMap{{QStringLiteral("SchoolFilePathKey"), portrait},
                     {QStringLiteral("SchoolOrderNumKey"), QStringLiteral("1")},
                     {QStringLiteral("SchoolCateoryPopKey"), schoolRecord("tb_school_list", 1)},
                     {QStringLiteral("SchoolSizePopKey"), schoolRecord("tb_school_size", 1)},
                     {QStringLiteral("SchoolSurfacePopKey"), schoolRecord("tb_school_surface", 2)}},
         QVariantMap{
             {QStringLiteral("SchoolFilePathKey"), board},
             {QStringLiteral("SchoolOrderNumKey"), QStringLiteral("1")},
             {QStringLiteral("SchoolCateoryPopKey"), schoolRecord("tb_school_list", 10)},
             {QStringLiteral("SchoolSizePopKey"), schoolRecord("tb_school_size", 7)},
             {QStringLiteral("SchoolSurfacePopKey"), schoolRecord("tb_school_surface", 6)}}});
    UserDef::setSchoolDic({{QStringLiteral("SchoolOrderMasterMemoKey"),
                            QStringLiteral("学年末までに\r\nお願いします")}});

    const JobInfo info({group, portrait, board}, home.filePath(QStringLiteral("school")), nullptr,
                       nullptr);
    reportexpect::compareBytes(
        reportexpect::writtenReport(home, info),
        reportexpect::expectedReport(QStringLiteral("school_three_rows.txt"), home, info));
}

void TestSchoolReport::productCodeRules_data() {
    using Code = std::optional<QString>;
    QTest::addColumn<Code>("size");
    QTest::addColumn<Code>("surface");
    QTest::addColumn<Code>("laminate");
    QTest::addColumn<QString>("expected");
    const Code none;
    const auto c = [](const char* text) { return Code(QString::fromLatin1(text)); };
    QTest::newRow("size, laminate, surface")
        << c("1111") << c("22") << c("33") << QStringLiteral("1111,33,22");
    QTest::newRow("2-character surface")
        << c("8870,1001") << c("12") << none << QStringLiteral("8870,1001,12");
    QTest::newRow("7-character surface")
        << c("8871") << c("1001,11") << none << QStringLiteral("8871,1001,11");
    QTest::newRow("full surface") << c("") << c("8850,1001,11") << none
                                  << QStringLiteral("8850,1001,11");
    QTest::newRow("other surface keeps the size")
        << c("8880,1001,11") << c("1234") << none << QStringLiteral("8880,1001,11");
    QTest::newRow("no surface") << c("8830") << none << c("1001") << QStringLiteral("8830");
    QTest::newRow("surface without a code counts as none")
        << c("8830") << c("(no code)") << c("1001") << QStringLiteral("8830");
    QTest::newRow("laminate without a code counts as none")
        << c("8871") << c("12") << c("(no code)") << QStringLiteral("8871,12");
}

void TestSchoolReport::productCodeRules() {
    QFETCH(std::optional<QString>, size);
    QFETCH(std::optional<QString>, surface);
    QFETCH(std::optional<QString>, laminate);
    QFETCH(QString, expected);
    QCOMPARE(schoolProductCode(rowWithCodes(size, surface, laminate)), expected);
}

void TestSchoolReport::readsItsOwnKeysOnly() {
    TestHome home;
    reportexpect::standardSettings(QStringLiteral("スクール"));
    UserDef::setPrintOrderArray(
        {QVariantMap{{QStringLiteral("PrintFilePathKey"), QStringLiteral("/p/print.jpg")}}});
    UserDef::setPrintDic({{QStringLiteral("PrintOrderMasterMemoKey"), QStringLiteral("プリント")}});
    UserDef::setSchoolOrderArray(
        {rowWithCodes(QStringLiteral("8830"), std::nullopt, std::nullopt)});
    UserDef::setSchoolDic({{QStringLiteral("SchoolOrderMasterMemoKey"), QStringLiteral("学校")}});
    const QString report = printReportSchoolTab(JobInfo({}, QString(), nullptr, nullptr));
    const QStringList body = bodyLines(report);
    QCOMPARE(body.mid(0, 7), (QStringList{QStringLiteral("UNIT_INDEX=1"),
                                          QStringLiteral("UNIT_PRODUCT_DESCRIPTION= 1枚"),
                                          QStringLiteral("UNIT_PRODUCT_CODE=8830"),
                                          QStringLiteral("UNIT_QUANTITY=1"),
                                          QStringLiteral("PRODUCT_IMAGE_FILE_NAME=a.jpg"),
                                          QStringLiteral("ROES_OriginalFileName=/s/a.jpg"),
                                          QStringLiteral("UNIT_Instraction=")}));
    QVERIFY(body.contains(QStringLiteral("Special_Instraction=学校")));
    QVERIFY(!report.contains(QStringLiteral("print.jpg")));
    QCOMPARE(schoolUnitProductDescription(
                 {{QStringLiteral("SchoolCateoryPopKey"),
                   QVariantMap{{QStringLiteral("name"), QStringLiteral("集合写真")}}},
                  {QStringLiteral("SchoolOrderNumKey"), QStringLiteral("12")}}),
             QStringLiteral("集合写真 12枚"));
}

QTEST_GUILESS_MAIN(TestSchoolReport)
#include "tst_SchoolReport.moc"
