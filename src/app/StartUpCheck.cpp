#include "app/StartUpCheck.h"

#include "service/CustomAuth.h"
#include "service/LabConfig.h"
#include "service/UpdateInfo.h"
#include "util/HttpClient.h"

#include <QEventLoop>
#include <QtConcurrent/QtConcurrentRun>

StartUpCheck::StartUpCheck(QObject* parent) : QObject(parent) {
    _pool.setMaxThreadCount(2);
    connect(&_watcher, &QFutureWatcher<Result>::finished, this, [this] {
        _result = _watcher.result();
        _done = true;
        Q_EMIT finished();
    });
}

StartUpCheck::~StartUpCheck() {
    abandon();
    _watcher.disconnect(this);
    _watcher.waitForFinished();
    _pool.waitForDone();
}

void StartUpCheck::start() {
    if (_started) {
        return;
    }
    _started = true;
    _watcher.setFuture(QtConcurrent::run(&_pool, [this] { return run(_abort, _pool); }));
}

void StartUpCheck::abandon() {
    _abort.store(true);
}

void StartUpCheck::waitForDone() {
    if (!_started || _done) {
        return;
    }
    QEventLoop loop;
    connect(this, &StartUpCheck::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

StartUpCheck::Result StartUpCheck::run(const std::atomic<bool>& abort, QThreadPool& pool) {
    const HttpAbortScope scope(abort);
    // Both pages at once: an unreachable lab costs one time-out, not two.
    QFuture<QString> album = QtConcurrent::run(&pool, [&abort] {
        const HttpAbortScope pageScope(abort);
        return UpdateInfo::readDataHttp(LabConfig::albumInfoUrl());
    });
    const QString app = UpdateInfo::readDataHttp(LabConfig::appInfoUrl());
    Result result;
    result.updateInfo = QStringLiteral("%1\n%2").arg(app, album.result());
    if (abort.load()) {
        return result; // the program is ending: nothing more is asked or stored
    }
    // The custom customers' list comes first: the custom catalogues are fetched for them.
    UpdateInfo::storeCustomCustomerCode(result.updateInfo);
    result.catalogues = ProductData::textsForUpdateInfo(result.updateInfo);
    CustomAuth::autoAllCustomDataLoad();
    return result;
}
