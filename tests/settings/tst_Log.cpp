#include "TestHome.h"
#include "settings/Log.h"
#include "settings/SettingsStore.h"
#include "settings/UserDef.h"
#include "util/WorkFolder.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString logFile(const QString& bootDate) {
    return WorkFolder::logFolderPath() + QLatin1Char('/') + bootDate + QStringLiteral(".log");
}

int modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

const QRegularExpression
    kStamped(QStringLiteral("^\\[\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}\\] (.*)$"));

// The message of a time-stamped line, or none when the line has no proper stamp.
std::optional<QString> message(const QString& line) {
    const auto m = kStamped.match(line);
    return m.hasMatch() ? std::optional(m.captured(1)) : std::nullopt;
}

void startHeader() {
    Log::blankLine();
    Log::outputLn(QString(51, QLatin1Char('=')));
    Log::outputLn(QStringLiteral("HALVIX 2 (v2.0.0)起動"));
}

} // namespace

class TestLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The log names customers and their files: nobody else may read it.
    void logIsTheUsersAlone() {
        TestHome home;
        UserDef::setObject(QStringLiteral("20261206"), QStringLiteral("BootDate"));
        Log::outputLn(QStringLiteral("注文"));
        Log::outputLn(QStringLiteral("送信"));
        QCOMPARE(modeOf(logFile(QStringLiteral("20261206"))), 0600);
        QCOMPARE(modeOf(WorkFolder::logFolderPath()), 0700);
        QCOMPARE(modeOf(WorkFolder::workFolderPath()), 0700);
        QCOMPARE(readAll(logFile(QStringLiteral("20261206"))).count('\n'), 2);
    }

    void twoStartsShareOneFile() {
        TestHome home;
        UserDef::setObject(QStringLiteral("20261206"), QStringLiteral("BootDate"), true);
        startHeader();
        Log::outputLn(QStringLiteral("終了"));

        SettingsStore::resetForTesting(); // the next start of the same day
        startHeader();

        QCOMPARE(QDir(WorkFolder::logFolderPath()).entryList(QDir::Files),
                 QStringList{QStringLiteral("20261206.log")});
        const QString text = QString::fromUtf8(readAll(logFile(QStringLiteral("20261206"))));
        QVERIFY(text.endsWith(QLatin1Char('\n')));
        const QStringList lines = text.chopped(1).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines.at(0), QString());
        QCOMPARE(message(lines.at(1)), std::optional(QString(51, QLatin1Char('='))));
        QCOMPARE(message(lines.at(2)), std::optional(QStringLiteral("HALVIX 2 (v2.0.0)起動")));
        QCOMPARE(message(lines.at(3)), std::optional(QStringLiteral("終了")));
        // The second header follows the first run's last line after one bare blank line.
        QCOMPARE(lines.at(4), QString());
        QCOMPARE(message(lines.at(5)), std::optional(QString(51, QLatin1Char('='))));
        QCOMPARE(message(lines.at(6)), std::optional(QStringLiteral("HALVIX 2 (v2.0.0)起動")));
    }

    void lineShapes() {
        TestHome home;
        UserDef::setObject(QStringLiteral("20260101"), QStringLiteral("BootDate"));
        Log::newLine();
        Log::output(QStringLiteral("生の"));
        Log::output(QStringLiteral("テキスト"));
        Log::blankLine();
        const QByteArray bytes = readAll(logFile(QStringLiteral("20260101")));
        const QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(lines.size(), 3); // two lines and what follows the last line end
        QVERIFY(lines.at(0).endsWith("] "));
        QCOMPARE(message(QString::fromUtf8(lines.at(0))), std::optional(QString()));
        QCOMPARE(lines.at(1), QByteArray("生のテキスト"));
        QCOMPARE(lines.at(2), QByteArray());
        // The stamp is the time of writing.
        QVERIFY(
            lines.at(0).startsWith(
                "[" + QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd")).toUtf8()) ||
            lines.at(0).startsWith(
                "[" +
                QDate::currentDate().addDays(-1).toString(QStringLiteral("yyyy/MM/dd")).toUtf8()));
    }

    void charactersBeyondTheBasicPlaneAreWritten() {
        TestHome home;
        UserDef::setObject(QStringLiteral("20260102"), QStringLiteral("BootDate"));
        Log::outputLn(QStringLiteral("写真😀送信"));
        // A broken surrogate is replaced; the rest of the line still arrives.
        Log::outputLn(QStringLiteral("前") + QChar(0xD800) + QStringLiteral("後"));
        const QStringList lines = QString::fromUtf8(readAll(logFile(QStringLiteral("20260102"))))
                                      .split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(message(lines.at(0)), std::optional(QStringLiteral("写真😀送信")));
        const auto broken = message(lines.at(1));
        QVERIFY(broken.has_value());
        QVERIFY(broken->startsWith(QStringLiteral("前")));
        QVERIFY(broken->endsWith(QStringLiteral("後")));
    }

    void withoutBootDateTheDayNamesTheFile() {
        TestHome home;
        const QString before = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
        Log::outputLn(QStringLiteral("起動前"));
        const QString after = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
        const QStringList files = QDir(WorkFolder::logFolderPath()).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY(files.first() == before + QStringLiteral(".log") ||
                files.first() == after + QStringLiteral(".log"));
    }

    void unwritableHomeDoesNothing() {
        TestHome home;
        UserDef::setObject(QStringLiteral("20260103"), QStringLiteral("BootDate"));
        // A home below a plain file cannot be written by anyone, the superuser included.
        const QString blocker = home.filePath(QStringLiteral("blocker"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(blocker + QStringLiteral("/home")));
        Log::outputLn(QStringLiteral("届かない"));
        Log::newLine();
        Log::blankLine();
        const QString work = WorkFolder::workFolderPath();
        qputenv("HOME", savedHome);
        QVERIFY(work.startsWith(blocker));
        QCOMPARE(QFileInfo(blocker).size(), 0);
        QVERIFY(!QFileInfo::exists(WorkFolder::workFolderPath()));

        if (::geteuid() != 0) {
            QVERIFY(QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::ExeOwner));
            Log::outputLn(QStringLiteral("届かない"));
            QVERIFY(QFile::setPermissions(home.path(),
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            QVERIFY(!QFileInfo::exists(WorkFolder::workFolderPath()));
        }
    }

    void occupiedLogFolderDoesNothing() {
        TestHome home;
        UserDef::setObject(QStringLiteral("20260105"), QStringLiteral("BootDate"));
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral("MVL_WorkArea")));
        QFile file(WorkFolder::logFolderPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        Log::outputLn(QStringLiteral("届かない"));
        QCOMPARE(QFileInfo(WorkFolder::logFolderPath()).size(), 0);
        QVERIFY(QFileInfo(WorkFolder::logFolderPath()).isFile());
    }

    void unwritableLogFolderDoesNothing() {
        if (::geteuid() == 0) {
            QSKIP("permissions do not bind the superuser");
        }
        TestHome home;
        UserDef::setObject(QStringLiteral("20260104"), QStringLiteral("BootDate"));
        QVERIFY(WorkFolder::checkWorkFolder());
        QVERIFY(
            QFile::setPermissions(WorkFolder::logFolderPath(), QFile::ReadOwner | QFile::ExeOwner));
        Log::outputLn(QStringLiteral("届かない"));
        QVERIFY(QFile::setPermissions(WorkFolder::logFolderPath(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(!QFileInfo::exists(logFile(QStringLiteral("20260104"))));
        Log::outputLn(QStringLiteral("届く"));
        QVERIFY(QFileInfo::exists(logFile(QStringLiteral("20260104"))));
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_Log.moc"
