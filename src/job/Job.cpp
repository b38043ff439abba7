#include "job/Job.h"

#include "job/JobInfo.h"
#include "settings/UserDef.h"
#include "util/PathUtil.h"
#include "util/Tool.h"

namespace {
// Above this total the order's files go into the archive without a password.
constexpr double kPassZipSizeLimit = 4147000000.0;
} // namespace

Job::Job(JobInfo& info) : _info(info) {}

Job::~Job() {
    removeCancelObserver();
}

void Job::errClear() {
    _err = false;
}

void Job::setErr(bool err) {
    _err = err;
}

bool Job::isErr() const {
    return _err;
}

bool Job::isCancel() const {
    return _cancel.load();
}

bool Job::isFailure() const {
    return isErr() || isCancel();
}

bool Job::isSucsess() const {
    return !isFailure();
}

void Job::addCancelObserver() {
    if (cancelToken_ != 0) {
        return;
    }
    cancelToken_ = NotificationCenter::defaultCenter().addObserver(
        kJobCancelNotification, [this](const QVariant&) { jobCancel(); });
}

void Job::removeCancelObserver() {
    if (cancelToken_ == 0) {
        return;
    }
    NotificationCenter::defaultCenter().removeObserver(cancelToken_);
    cancelToken_ = 0;
}

void Job::jobCancel() {
    _cancel.store(true);
}

void Job::progressViewInitWithMsg(const std::optional<QString>& msg) {
    if (msg) {
        _info.setJobMsg(*msg);
    }
    _info.indicatorIndeterminate();
}

void Job::progressViewInit() {
    progressViewInitWithMsg(QString());
}

void Job::progressViewInitMsgKeep() {
    progressViewInitWithMsg(std::nullopt);
}

void Job::progressViewSetupWithMax(double max, const std::optional<QString>& msg) {
    if (msg) {
        _info.setJobMsg(*msg);
    }
    _info.indicatorProgressWitMin(0.0, max);
}

void Job::progressViewSetupMsgKeepWithMax(double max) {
    progressViewSetupWithMax(max, std::nullopt);
}

void Job::progressViewUpdateWithValue(double value, const std::optional<QString>& msg) {
    if (msg) {
        _info.setJobMsg(*msg);
    }
    _info.indicatorUpdate(value);
}

void Job::progressViewUpdateMsgKeepWithValue(double value) {
    progressViewUpdateWithValue(value, std::nullopt);
}

void Job::progressViewUpdateWithMsg(const QString& msg) {
    _info.setJobMsg(msg);
}

void Job::progressViewClear() {
    _info.jobMsgClear();
    _info.indicatorClear();
}

void Job::progressViewClearKeepMsg() {
    _info.indicatorClear();
}

QString Job::selectInfo() const {
    return _info.selectInfo();
}

QStringList Job::jobFiles() const {
    return _info.selectFiles();
}

bool Job::isSelectFolder() const {
    return orbel::isFolderPath(_info.selectInfo());
}

QString Job::resizeFolderPath() const {
    return _info.resizeFolderPath();
}

std::optional<QString> Job::createAndResizeFolderPath() {
    if (!_info.createResizeFolder()) {
        setErr(true);
        return std::nullopt;
    }
    return _info.resizeFolderPath();
}

QString Job::zipFilePath() const {
    return _info.zipFilePath();
}

QString Job::zipPoolFilePath() const {
    return _info.zipPoolFilePath();
}

std::optional<QString> Job::createAndZipFilePath() {
    if (!_info.createZipFile()) {
        setErr(true);
        return std::nullopt;
    }
    return _info.zipFilePath();
}

qint64 Job::resizePix() const {
    return _info.selectProductResizePix();
}

bool Job::createPrintReportFile(const QString& folder) const {
    return _info.createPrintReportFile(folder);
}

bool Job::isZipAddFullPath() const {
    return _info.isFullPathTab();
}

QStringList Job::zipJobFiles() const {
    if (_info.isResizeMode()) {
        return orbel::allFilePathArray(resizeFolderPath());
    }
    return jobFiles();
}

bool Job::isPassZip() {
    if (Tool::isTigerOperatingSystem()) {
        return false;
    }
    if (_allFileSize == 0) {
        double size = static_cast<double>(orbel::arrayAllFilesSize(zipJobFiles()));
        if (_info.isTab(OrderTab::Print) && UserDef::isPrintKineloFile()) {
            size += UserDef::printKineloAllFileSize();
        } else if (_info.isTab(OrderTab::Album) && UserDef::isAlbumKineloFile()) {
            size += UserDef::albumKineloAllFileSize();
        }
        _allFileSize = size;
    }
    return _allFileSize <= kPassZipSizeLimit;
}

void Job::addSelectWorkFile(const QString& path) {
    _info.addSelectWorkFile(path);
}
