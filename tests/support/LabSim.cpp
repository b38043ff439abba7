#include "LabSim.h"

#include "service/LabConfig.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QThread>

namespace {

QString labsimProgram() {
    QString source = qEnvironmentVariable("HALVIX_SOURCE_DIR");
    if (source.isEmpty())
        source = QStringLiteral(HALVIX_SOURCE_DIR);
    return source + QStringLiteral("/tools/labsim/labsim");
}

// Reads "http=N\nftp=N\n"; false until both are there.
bool readPorts(const QString& path, int& http, int& ftp) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    int h = 0;
    int f = 0;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith("http="))
            h = line.mid(5).trimmed().toInt();
        else if (line.startsWith("ftp="))
            f = line.mid(4).trimmed().toInt();
    }
    if (h <= 0 || f <= 0)
        return false;
    http = h;
    ftp = f;
    return true;
}

QList<QJsonObject> readJsonLines(const QString& path) {
    QList<QJsonObject> records;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (doc.isObject())
            records.append(doc.object());
    }
    return records;
}

bool writeFile(const QString& path, const QByteArray& data) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(data);
    return file.commit();
}

} // namespace

LabSim::LabSim() : dir(std::make_unique<QTemporaryDir>()) {
    if (!dir->isValid()) {
        error = QStringLiteral("no temporary folder for the lab substitute");
        return;
    }
    launch();
    if (error.isEmpty()) {
        savedLabConf = qEnvironmentVariableIsSet("HALVIX_LAB_CONF")
                           ? std::optional<QByteArray>(qgetenv("HALVIX_LAB_CONF"))
                           : std::nullopt;
        envSaved = true;
        qputenv("HALVIX_LAB_CONF", labConfPath().toLocal8Bit());
        LabConfig::reload();
    }
}

void LabSim::launch() {
    http = 0;
    ftp = 0;
    process = std::make_unique<QProcess>();
    process->setProgram(labsimProgram());
    process->setArguments({QStringLiteral("--root"), dir->path()});
    // Its start and stop lines show up in the test's output, which helps when a test fails.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start();
    if (!process->waitForStarted(10000)) {
        error = QStringLiteral("cannot start %1: %2").arg(labsimProgram(), process->errorString());
        process.reset();
        return;
    }

    const QString portsPath = dir->filePath(QStringLiteral("ports"));
    const QDeadlineTimer deadline(10000);
    while (!readPorts(portsPath, http, ftp)) {
        if (process->state() == QProcess::NotRunning || deadline.hasExpired()) {
            error = QStringLiteral("the lab substitute did not come up (%1)").arg(portsPath);
            stop();
            return;
        }
        process->waitForFinished(50); // a short wait that also notices an early exit
    }
}

bool LabSim::restart() {
    stop();
    error.clear();
    launch();
    if (!error.isEmpty())
        return false;
    if (envSaved)
        LabConfig::reload();
    return isRunning();
}

LabSim::~LabSim() {
    stop();
    if (envSaved) {
        if (savedLabConf)
            qputenv("HALVIX_LAB_CONF", *savedLabConf);
        else
            qunsetenv("HALVIX_LAB_CONF");
        LabConfig::reload();
    }
}

bool LabSim::isRunning() const {
    return process && process->state() == QProcess::Running && http > 0 && ftp > 0;
}

QString LabSim::rootDir() const {
    return dir->path();
}

QString LabSim::httpBase() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(http);
}

QString LabSim::ftpHost() const {
    return QStringLiteral("127.0.0.1:%1").arg(ftp);
}

QString LabSim::labConfPath() const {
    return dir->filePath(QStringLiteral("lab.conf"));
}

bool LabSim::setFaults(const QJsonObject& faults) {
    return writeFile(dir->filePath(QStringLiteral("faults.json")),
                     QJsonDocument(faults).toJson(QJsonDocument::Compact));
}

QList<QJsonObject> LabSim::reports() const {
    return readJsonLines(dir->filePath(QStringLiteral("reports.jsonl")));
}

QStringList LabSim::reportActions() const {
    QStringList actions;
    for (const QJsonObject& report : reports())
        actions.append(report.value(QStringLiteral("action")).toString());
    return actions;
}

bool LabSim::hasReport(const QString& action) const {
    return reportActions().contains(action);
}

QString LabSim::reportField(const QString& action, const QString& field) const {
    for (const QJsonObject& report : reports()) {
        if (report.value(QStringLiteral("action")).toString() != action)
            continue;
        for (const QJsonValue& pair : report.value(QStringLiteral("fields")).toArray()) {
            if (pair.toArray().at(0).toString() == field)
                return pair.toArray().at(1).toString();
        }
    }
    return {};
}

QList<QJsonObject> LabSim::ftpLog() const {
    return readJsonLines(dir->filePath(QStringLiteral("ftp_log.jsonl")));
}

QString LabSim::ftpLocalPath(const QString& remoteFolder) const {
    QString folder = remoteFolder;
    if (!folder.startsWith(QLatin1Char('/')))
        folder.prepend(QLatin1Char('/'));
    QString home = QStringLiteral("ftp/order");
    if (folder.startsWith(QLatin1String("/halvyx_mac/")))
        home = QStringLiteral("ftp/ftp2");
    else if (folder.startsWith(QLatin1String("/mivel/")))
        home = QStringLiteral("ftp/test");
    return QDir::cleanPath(dir->filePath(home) + folder);
}

QStringList LabSim::ftpFolderFiles(const QString& remoteFolder) const {
    return QDir(ftpLocalPath(remoteFolder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

bool LabSim::putFtpFile(const QString& remoteFolder, const QString& name,
                        const QByteArray& data) const {
    return writeFile(ftpLocalPath(remoteFolder) + QLatin1Char('/') + name, data);
}

QString LabSim::httpFilePath(const QString& urlPath) const {
    return QDir::cleanPath(dir->filePath(QStringLiteral("http")) + QLatin1Char('/') + urlPath);
}

bool LabSim::putHttpFile(const QString& urlPath, const QByteArray& data) const {
    return writeFile(httpFilePath(urlPath), data);
}

void LabSim::stop() {
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate(); // SIGTERM: the substitute closes its servers and exits
        if (!process->waitForFinished(10000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    process.reset();
}
