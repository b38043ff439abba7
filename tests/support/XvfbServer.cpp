#include "XvfbServer.h"

#include <QDeadlineTimer>

XvfbServer::XvfbServer(const QString& screen) {
    // Standard output carries the display number once the server accepts connections.
    process.start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"), screen});
    if (!process.waitForStarted(30000)) {
        error = QStringLiteral("Xvfb did not start: ") + process.errorString();
        return;
    }
    QByteArray out;
    const QDeadlineTimer deadline(60000);
    while (!out.contains('\n') && !deadline.hasExpired() && process.state() == QProcess::Running) {
        process.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
        out += process.readAllStandardOutput();
    }
    bool ok = false;
    const int number = out.trimmed().toInt(&ok);
    if (!out.contains('\n') || !ok) {
        error = QStringLiteral("Xvfb named no display: ") + process.errorText();
        process.stop();
        return;
    }
    display_ = QStringLiteral(":%1").arg(number);
}
