#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <thread>

// The outcome of one check of the connection test, in words a studio can act on.
struct ConnectionCheckResult {
    enum class State { Ok, Warning, Failed, Skipped };
    State state = State::Failed;
    QString detail; // what happened and what to do, in plain Japanese
};

// Checks, one after the other, everything an order needs of the network: the information server,
// the authentication server, login and name listing on the order server, and the upload direction
// (a 1-byte file "upload_halvix_probe" put into the order folder and deleted again), and
// whether the line to the order server is encrypted. Posts nothing
// to the analysis server. Runs on a thread of its own; results arrive as queued signals.
class ConnectionTest : public QObject {
    Q_OBJECT
public:
    enum Check { InfoServer, AuthServer, FtpLogin, FtpUpload, FtpPrivacy, CheckCount };

    explicit ConnectionTest(QObject* parent = nullptr);
    ~ConnectionTest() override; // stops a running test and joins its thread

    static QString checkTitle(int check);
    static QString stateLabel(ConnectionCheckResult::State state);
    // The name of the test file in the order folder; the lab ignores "upload_" names.
    static QString probeFileName();

    // The single checks, on the calling thread.
    static ConnectionCheckResult checkInfoServer();
    static ConnectionCheckResult checkAuthServer();
    static ConnectionCheckResult checkFtpLogin();
    static ConnectionCheckResult checkFtpUpload();
    // Whether the order server's line is private: "暗号化あり（TLSv1.3）" or "暗号化なし", with
    // what that means; a TLS that lab.conf asks for and that fails is a failure.
    static ConnectionCheckResult checkFtpPrivacy();

    // Starts every check on the test thread; false while one runs.
    bool start();
    bool isRunning() const { return running_.load(); }
    void cancel() { cancel_.store(true); }

Q_SIGNALS:
    void checkStarted(int check);
    void checkFinished(int check, int state, const QString& detail);
    void finished(bool allOk);

private:
    void run();

    std::atomic<bool> running_{false};
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};
