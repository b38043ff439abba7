#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// How long and how much the kept folder holds.
struct KeptOrderPolicy {
    qint64 days = 7;     // 0: nothing is kept
    qint64 capBytes = 0; // the most all kept archives may take together
    bool isKeeping() const { return days > 0; }
};

// One archive in the kept folder. Its modification time is when it was kept.
struct KeptOrder {
    QString path;
    QString name;
    qint64 size = 0;
    QDateTime keptAt;
};

// The parts of an order archive's name: customer code, MAC address, bag number.
struct OrderArchiveName {
    QString customerCode;
    QString macAddress;
    qint64 bagNo = 0;

    static std::optional<OrderArchiveName> parse(const QString& fileName);
    // "%@_%@_%07d.zip" with another bag number.
    QString withBagNo(qint64 bag) const;
};

// What the studio is shown of a kept archive: its order report and its entries, read from the
// archive itself (with the archive password), never unpacked to disk.
struct KeptOrderContents {
    QString report;    // PrintReport4.txt, decoded from Shift_JIS
    QStringList files; // every entry, in archive order
    QString error;     // why it could not be read; "" when it could
};

// The safety net after a send: an archive the lab has (with its pool record) is moved into the
// kept folder of the work area instead of being deleted, so that the same bytes can be sent again
// from the order history. A few days and a size cap bound it, the oldest going first. Keeping is
// never worth a send: whenever the move fails the archive is deleted as before.
class KeptOrders {
public:
    KeptOrders() = delete;

    static constexpr qint64 kDefaultDays = 7;
    static constexpr qint64 kDefaultCapBytes = 20LL * 1000 * 1000 * 1000;
    static constexpr qint64 kBytesPerGB = 1000LL * 1000 * 1000;

    static QString folderPath(); // work area + "/OrderZipKept"
    // The kept archive of that name, none when it is not kept.
    static std::optional<QString> keptArchivePath(const QString& archiveName);

    // The settings: "KeptOrderDays" (absent: 7) and "KeptOrderCapGB" (absent or 0: 20 GB or a
    // tenth of the room the file system would have without the kept archives, the smaller).
    static qint64 keepDays();
    static qint64 capSettingGB(); // 0: automatic
    static KeptOrderPolicy policyFromSettings();
    static qint64 automaticCapBytes(qint64 freeBytes, qint64 keptBytes);

    // The send stage's disposal of a delivered archive (and its record beside it): moved into the
    // kept folder by a rename, or deleted when keeping is off or the move fails (logged; the
    // studio is told once per run). True when the archive has left the pool.
    static bool keepDelivered(const QString& zipPath);
    static bool keepDelivered(const QString& zipPath, const QDateTime& now);

    // Kept archives, oldest first.
    static QList<KeptOrder> list();
    // Removes what the policy no longer allows at now: older than its days, then the oldest
    // until the rest fit the cap; one log line per archive. The names removed.
    static QStringList prune(const KeptOrderPolicy& policy, const QDateTime& now);
    static QStringList prune(); // the settings' policy, now

    enum class Check { Sound, Damaged, Unreadable, Stopped };
    // The kept archive against its recorded size and hash; without a record, every entry's CRC
    // read with the archive password.
    static Check check(const QString& keptPath, const std::function<bool()>& shouldStop = {});

    static KeptOrderContents contents(const QString& archivePath);

    // Forgets that the studio was told about a kept folder that cannot take archives.
    static void resetToldForTest();
};
