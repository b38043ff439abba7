#pragma once

#include "job/Job.h"
#include "job/KeptOrders.h"

#include <QByteArray>
#include <QString>

// Sending a kept order again: the kept archive, proven to be the bytes that were sent, becomes a
// new order in the pool under the next bag number (its record written fresh), which the send
// stage then sends as any other. Only the order report's two lines that name the order change,
// so that the report and the archive name agree as the lab expects; every other entry is copied
// as it is, byte for byte. The kept archive itself is never changed.
class ResendJob : public Job {
public:
    ResendJob(JobInfo& info, QString keptPath);

    bool start() override;
    // The new archive in the order pool, once start() succeeded.
    const QString& poolArchivePath() const { return _poolPath; }

    // The report with "LAB_ORDER_ID" and "CUSTOMER_ORDER_ID" naming the new archive; every other
    // byte (Shift_JIS, CR LF) as it was. Only the first of each in the head is changed.
    static QByteArray reportForArchive(const QByteArray& report, const OrderArchiveName& name);
    // The first bag number from first on whose name (with the kept archive's customer code and
    // MAC address) is free: not in the pool, the kept folder or the order history.
    static qint64 nextFreeBagNo(const OrderArchiveName& name, qint64 first);

private:
    // Says what failed (log, alert); the error flag is set.
    void fail(const QString& logLine, const QString& title, const QString& text);

    QString _keptPath;
    QString _poolPath;
};
