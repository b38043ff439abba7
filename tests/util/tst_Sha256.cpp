#include "util/Sha256.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestSha256 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void libcryptoComesWithTheFirstHash();
    void fileInPiecesMatchesKnownHashes();
};

namespace {

bool libcryptoMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/libcrypto.so");
}

} // namespace

// The program does not bind libcrypto at start (it would hold up the window); the first hash
// loads it, and the hash is libcrypto's, not the slower stand-in.
void TestSha256::libcryptoComesWithTheFirstHash() {
    QVERIFY(!libcryptoMapped());
    orbel::Sha256 hash;
    hash.addData("abc");
    QCOMPARE(hash.hexResult(),
             QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    QVERIFY(libcryptoMapped());
    // Finished hashes start again empty.
    QCOMPARE(hash.hexResult(),
             QStringLiteral("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
}

// The published vector (one million "a") and, for a file of several read pieces whose last one
// is partial, coreutils' sha256sum; pieces fed by hand give the same; a stop gives none.
void TestSha256::fileInPiecesMatchesKnownHashes() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString million = dir.filePath(QStringLiteral("million"));
    const QString large = dir.filePath(QStringLiteral("large"));
    QFile file(million);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(QByteArray(1'000'000, 'a')) == 1'000'000);
    file.close();
    QByteArray bytes(3 * 1024 * 1024 + 12345, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 7919 + i / 4096) & 0xff);
    file.setFileName(large);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(bytes) == bytes.size());
    file.close();

    QCOMPARE(orbel::Sha256::ofFile(million),
             QStringLiteral("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"));
    QProcess sum;
    sum.start(QStringLiteral("sha256sum"), {large});
    QVERIFY(sum.waitForFinished(30000));
    const QString expected = QString::fromLatin1(sum.readAllStandardOutput().left(64));
    QCOMPARE(expected.size(), 64);
    QCOMPARE(orbel::Sha256::ofFile(large), expected);

    orbel::Sha256 hash;
    for (qsizetype at = 0; at < bytes.size(); at += 100'003)
        hash.addData(
            QByteArrayView(bytes).sliced(at, std::min<qsizetype>(100'003, bytes.size() - at)));
    QCOMPARE(hash.hexResult(), expected);

    int polls = 0;
    QCOMPARE(orbel::Sha256::ofFile(large, [&polls] { return ++polls > 1; }), std::nullopt);
    QCOMPARE(orbel::Sha256::ofFile(dir.filePath(QStringLiteral("absent"))), std::nullopt);
}

QTEST_GUILESS_MAIN(TestSha256)
#include "tst_Sha256.moc"
