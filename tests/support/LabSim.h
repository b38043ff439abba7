#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>

// The lab substitute (tools/labsim) on free loopback ports for one test fixture. While it lives,
// HALVIX_LAB_CONF points at its lab.conf and LabConfig is reloaded, so the code under test talks to
// it; the previous value is restored afterwards. Check isRunning() (or QVERIFY2 with errorText())
// before relying on it.
//
// Server-side folders: the production account's home is rootDir()/ftp/order, the FTP2 account's
// rootDir()/ftp/ftp2, the test account's rootDir()/ftp/test. Faults are described in
// tools/labsim/README.md.
class LabSim {
public:
    LabSim();
    ~LabSim();
    LabSim(const LabSim&) = delete;
    LabSim& operator=(const LabSim&) = delete;

    bool isRunning() const;
    QString errorText() const { return error; }

    QString rootDir() const;
    int httpPort() const { return http; }
    int ftpPort() const { return ftp; }
    QString httpBase() const; // "http://127.0.0.1:N"
    QString ftpHost() const;  // "127.0.0.1:N"
    QString labConfPath() const;

    // Writes rootDir()/faults.json (read by the substitute on every request); {} clears.
    bool setFaults(const QJsonObject& faults);
    void clearFaults() { setFaults(QJsonObject()); }

    // Every usage report received so far, oldest first (rootDir()/reports.jsonl): keys "method",
    // "path", "action" (null for the customer information report), "fields" ([[name, value], ...]),
    // "text" (the decoded report) and "raw" (as received).
    QList<QJsonObject> reports() const;
    // The "action" of every report, oldest first.
    QStringList reportActions() const;
    // A report with this action has arrived.
    bool hasReport(const QString& action) const;
    // The value of a field in the first report with this action; empty when there is none.
    QString reportField(const QString& action, const QString& field) const;
    // Every FTP command of interest received so far (rootDir()/ftp_log.jsonl): "user", "cmd",
    // "arg", "path".
    QList<QJsonObject> ftpLog() const;

    // The local folder behind a remote FTP folder: "/halvyx_mac/..." is the FTP2 account's,
    // "/mivel/..." the test account's, everything else the production account's.
    QString ftpLocalPath(const QString& remoteFolder) const;
    // Sorted names of the files in a remote folder ("/ntordrsm2/", "/dwnld/1234/", ...).
    QStringList ftpFolderFiles(const QString& remoteFolder) const;
    // Puts a file into a remote folder (creating the folder), e.g. for the download window.
    bool putFtpFile(const QString& remoteFolder, const QString& name, const QByteArray& data) const;

    // A file served over HTTP: rootDir()/http + path. Pages may hold "{{HTTP_BASE}}", which is
    // served as httpBase().
    QString httpFilePath(const QString& urlPath) const;
    bool putHttpFile(const QString& urlPath, const QByteArray& data) const;

    // Stops the substitute (SIGTERM, then waits); the root folder stays until destruction.
    void stop();
    // Starts it again on the same root (the lab's folders and records as they were), on new free
    // ports; lab.conf is rewritten and reloaded. False when it does not come up.
    bool restart();

private:
    void launch();

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QProcess> process;
    int http = 0;
    int ftp = 0;
    QString error;
    std::optional<QByteArray> savedLabConf;
    bool envSaved = false;
};
