#pragma once

#include <QByteArray>
#include <QString>

// Archives in the order pool as the zip stage leaves them, for the send stage's tests.
namespace poolkit {

// data as the archive `name` in the work area's pool, with the record the zip stage writes
// beside it (hash "packed"); its path, or "" when it could not be written.
QString poolWithRecord(const QString& name, const QByteArray& data);
// The archive alone, without a record (pooled by an older version, or its record lost).
QString poolWithoutRecord(const QString& name, const QByteArray& data);
// A real order zip made with the real zip and the order password: the report and one stored
// entry of `payload` random bytes (seeded). Empty when zip failed.
QByteArray orderZip(qsizetype payload, quint32 seed);

} // namespace poolkit
