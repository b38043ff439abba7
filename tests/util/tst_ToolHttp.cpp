#include "TestHome.h"
#include "util/HttpClient.h"
#include "util/Tool.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>
#include <memory>

namespace {

// A small Python server on a free loopback port; it prints its port on the first line.
class LocalServer {
public:
    explicit LocalServer(const QStringList& pythonArgs) {
        process_.setProgram(QStringLiteral("/usr/bin/python3"));
        process_.setArguments(QStringList{QStringLiteral("-u")} + pythonArgs);
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start();
        if (!process_.waitForStarted()) {
            return;
        }
        static const QRegularExpression portText(QStringLiteral(R"(port (\d+))"));
        QByteArray seen;
        while (port_ == 0 && process_.waitForReadyRead(20000)) {
            seen += process_.readAllStandardOutput();
            const QRegularExpressionMatch match = portText.match(QString::fromUtf8(seen));
            if (match.hasMatch()) {
                port_ = match.captured(1).toInt();
            }
        }
    }
    ~LocalServer() { stop(); }
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    int port() const { return port_; }
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path);
    }
    void stop() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }

private:
    QProcess process_;
    int port_ = 0;
};

HttpRequest getRequest(const QString& url) {
    HttpRequest request;
    request.url = url;
    return request;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestToolHttp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsUtf8Pages();
    void invalidUrlsGiveNone_data();
    void invalidUrlsGiveNone();
    void refusedConnectionGivesNone();
    void silentServerTimesOut();
    void bodiesOverTheLimitAreRefused();
};

void TestToolHttp::readsUtf8Pages() {
    TestHome home;
    const QString site = home.filePath(QStringLiteral("site"));
    QVERIFY(QDir().mkpath(site));
    const QString page = QStringLiteral("<!--APP_VER_MAC\n2.1.0\nAPP_VER_MAC-->\r\n写真 ①\r\n");
    QVERIFY(writeFile(site + "/info.html", page.toUtf8()));
    QVERIFY(writeFile(site + "/empty.txt", QByteArray()));
    QVERIFY(writeFile(site + "/sjis.txt", QByteArray::fromHex("8ecc905e")));

    LocalServer server({QStringLiteral("-m"), QStringLiteral("http.server"), QStringLiteral("0"),
                        QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                        QStringLiteral("--directory"), site});
    QVERIFY2(server.port() > 0, "the local HTTP server did not start");

    QCOMPARE(Tool::readHttp(server.url("/info.html")), std::optional<QString>(page));
    const std::optional<QString> empty = Tool::readHttp(server.url("/empty.txt"), 10.0);
    QVERIFY(empty.has_value());
    QVERIFY(empty->isEmpty());
    // Bytes that are not UTF-8 are no page at all.
    QVERIFY(!Tool::readHttp(server.url("/sjis.txt")).has_value());
    QVERIFY(!Tool::readHttp(server.url("/missing.html")).has_value());

    // The status of a refused request is kept, its body never.
    const HttpResponse missing = httpPerform(getRequest(server.url("/missing.html")));
    QVERIFY(!missing.ok);
    QCOMPARE(missing.status, 404L);
    QVERIFY(missing.body.isEmpty());
    HttpRequest post = getRequest(server.url("/info.html"));
    post.post = true;
    post.postBody = "a=1&b=2";
    const HttpResponse posted = httpPerform(post);
    QVERIFY(!posted.ok); // this server takes no POST
    QCOMPARE(posted.status, 501L);
    QVERIFY(posted.body.isEmpty());
    const HttpResponse got = httpPerform(getRequest(server.url("/sjis.txt")));
    QVERIFY(got.ok);
    QCOMPARE(got.status, 200L);
    QCOMPARE(got.body, QByteArray::fromHex("8ecc905e"));
}

void TestToolHttp::invalidUrlsGiveNone_data() {
    QTest::addColumn<QString>("url");
    QTest::newRow("empty") << "";
    QTest::newRow("words") << "not a url";
    QTest::newRow("no host") << "http://";
    QTest::newRow("space in host") << "http://exa mple.com/";
    QTest::newRow("ftp scheme") << "ftp://127.0.0.1/file.txt";
    QTest::newRow("file scheme") << "file:///etc/hostname";
}

void TestToolHttp::invalidUrlsGiveNone() {
    QFETCH(QString, url);
    QVERIFY(!Tool::readHttp(url).has_value());
}

void TestToolHttp::refusedConnectionGivesNone() {
    TestHome home;
    LocalServer server({QStringLiteral("-m"), QStringLiteral("http.server"), QStringLiteral("0"),
                        QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                        QStringLiteral("--directory"), home.path()});
    QVERIFY2(server.port() > 0, "the local HTTP server did not start");
    QVERIFY(writeFile(home.filePath("ok.txt"), "ok"));
    QCOMPARE(Tool::readHttp(server.url("/ok.txt")), std::optional<QString>(QStringLiteral("ok")));
    server.stop();
    QVERIFY(!Tool::readHttp(server.url("/ok.txt")).has_value());
}

void TestToolHttp::silentServerTimesOut() {
    // Accepts connections and never answers.
    const QString script =
        QStringLiteral("import socket, time\n"
                       "s = socket.socket(); s.bind(('127.0.0.1', 0)); s.listen(5)\n"
                       "print('port', s.getsockname()[1], flush=True)\n"
                       "conns = []\n"
                       "while True:\n"
                       "    c, _ = s.accept(); conns.append(c)\n");
    LocalServer server({QStringLiteral("-c"), script});
    QVERIFY2(server.port() > 0, "the silent server did not start");
    QVERIFY(!Tool::readHttp(server.url("/info.html"), 0.5).has_value());
}

void TestToolHttp::bodiesOverTheLimitAreRefused() {
    // "/exact/N" and "/declared/N" send N bytes with their length; "/endless" sends chunks of
    // "a" without end and without a length, as a broken or hostile server might.
    const QString script = QStringLiteral(
        "import http.server, socketserver\n"
        "class H(http.server.BaseHTTPRequestHandler):\n"
        "    protocol_version = 'HTTP/1.1'\n"
        "    def log_message(self, *a): pass\n"
        "    def do_GET(self):\n"
        "        if self.path == '/endless':\n"
        "            self.send_response(200)\n"
        "            self.send_header('Transfer-Encoding', 'chunked')\n"
        "            self.end_headers()\n"
        "            chunk = b'a' * 65536\n"
        "            try:\n"
        "                while True:\n"
        "                    self.wfile.write(b'%x\\r\\n' % len(chunk) + chunk + b'\\r\\n')\n"
        "            except OSError:\n"
        "                return\n"
        "        n = int(self.path.rsplit('/', 1)[1])\n"
        "        self.send_response(200)\n"
        "        self.send_header('Content-Length', str(n))\n"
        "        self.end_headers()\n"
        "        try:\n"
        "            self.wfile.write(b'b' * n)\n"
        "        except OSError:\n"
        "            pass\n"
        "class S(socketserver.ThreadingMixIn, http.server.HTTPServer):\n"
        "    daemon_threads = True\n"
        "s = S(('127.0.0.1', 0), H)\n"
        "print('port', s.server_address[1], flush=True)\n"
        "s.serve_forever()\n");
    LocalServer server({QStringLiteral("-c"), script});
    QVERIFY2(server.port() > 0, "the local HTTP server did not start");

    constexpr qint64 limit = 100000;
    HttpRequest request = getRequest(server.url(QStringLiteral("/exact/%1").arg(limit)));
    request.maxBodyBytes = limit;
    const HttpResponse exact = httpPerform(request);
    QVERIFY(exact.ok);
    QVERIFY(!exact.tooLarge);
    QCOMPARE(exact.body.size(), qsizetype(limit));

    request.url = server.url(QStringLiteral("/declared/%1").arg(limit + 1));
    const HttpResponse declared = httpPerform(request);
    QVERIFY(!declared.ok);
    QVERIFY(declared.tooLarge);
    QVERIFY(declared.body.isEmpty());

    // Without a length only the arriving bytes tell: the transfer ends at the limit (a body that
    // were read to its end would never end, and the read would time out instead).
    request.url = server.url(QStringLiteral("/endless"));
    request.timeoutSeconds = 60.0;
    const HttpResponse endless = httpPerform(request);
    QVERIFY(!endless.ok);
    QVERIFY(endless.tooLarge);
    QVERIFY(endless.body.isEmpty());

    // Pages and catalogues are read with the program's own limit.
    const HttpReadResult page = Tool::readHttpChecked(server.url(QStringLiteral("/endless")), 60.0);
    QVERIFY(page.tooLarge);
    QCOMPARE(page.text, std::nullopt);
    QVERIFY(
        !Tool::readHttp(server.url(QStringLiteral("/declared/%1").arg(Tool::kMaxHttpBodyBytes + 1)))
             .has_value());
    const HttpReadResult small =
        Tool::readHttpChecked(server.url(QStringLiteral("/exact/10")), 5.0, 10);
    QCOMPARE(small.text, std::optional<QString>(QStringLiteral("bbbbbbbbbb")));
    QVERIFY(!small.tooLarge);
}

QTEST_GUILESS_MAIN(TestToolHttp)
#include "tst_ToolHttp.moc"
