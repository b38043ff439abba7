#include "job/JobInfo.h"

#include "job/ProgressTarget.h"
#include "job/ZipJob.h"
#include "job/ZipPacker.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/MiravellPath.h"
#include "util/PathUtil.h"
#include "util/Tool.h"
#include "util/WorkFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <utility>

namespace {

constexpr qint64 kDefaultResizePix = 1999;

// The leading decimal number of a catalogue value ("1999", " 1600px"); none when there is none.
std::optional<qint64> leadingInteger(const QVariant& value) {
    const QString text = value.toString().trimmed();
    qsizetype end = 0;
    if (end < text.size() && (text[end] == u'-' || text[end] == u'+')) {
        ++end;
    }
    while (end < text.size() && text[end].isDigit() && text[end].unicode() < 128) {
        ++end;
    }
    bool ok = false;
    const qint64 number = text.left(end).toLongLong(&ok);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}

QString settingOr(const QString& key, const QString& fallback) {
    const std::optional<QString> value = UserDef::stringForKey(key);
    return value && !value->isEmpty() ? *value : fallback;
}

// A leftover of an earlier attempt is moved to the Trash; when the Trash refuses it (a name that
// is already there) it is removed, so that the new order never starts on top of old files.
void clearWorkPath(const QString& path) {
    if (!orbel::isFolderOrFilePath(path)) {
        return;
    }
    if (!orbel::limitMoveTrashFileOrFolder(path) && orbel::isFolderOrFilePath(path)) {
        orbel::limitDeleteFileOrFolder(path);
    }
}

// The MAC address as the archive name carries it: 12 upper-case hexadecimal digits. A stored
// value in another spelling ("00:11:22:aa:bb:cc") is brought into that form; anything else would
// make a name the send stage refuses, so it becomes "000000000000".
QString archiveMacAddress(const QString& stored) {
    QString mac = stored.toUpper();
    mac.remove(u':');
    mac.remove(u'-');
    static const QRegularExpression hex(
        QRegularExpression::anchoredPattern(QStringLiteral("[0-9A-F]{12}")));
    return hex.match(mac).hasMatch() ? mac : QStringLiteral("000000000000");
}

} // namespace

JobInfo::JobInfo(QStringList selectFiles, QString selectInfo, ProductData* productData,
                 ProgressTarget* jobIndicator, ProgressTarget* jobMsg)
    : JobInfo(
          orderTabFromLabel(UserDef::stringForKey(SettingsKey::MainTabLabel).value_or(QString())),
          std::move(selectFiles), std::move(selectInfo), productData, jobIndicator, jobMsg) {}

JobInfo::JobInfo(std::optional<OrderTab> tab, QStringList selectFiles, QString selectInfo,
                 ProductData* productData, ProgressTarget* jobIndicator, ProgressTarget* jobMsg)
    : _tab(tab), _selectFiles(std::move(selectFiles)), _selectInfo(std::move(selectInfo)),
      _jobIndicator(jobIndicator), _jobMsg(jobMsg != nullptr ? jobMsg : jobIndicator),
      _productData(productData) {
    const QString now = Tool::nowDateTimeNomal();
    const qsizetype blank = now.indexOf(u' ');
    _dateStr = blank < 0 ? now : now.left(blank);
    _timeStr = blank < 0 ? QString() : now.mid(blank + 1);

    const std::optional<QString> code = UserDef::customerCode();
    _customerCode = code && !code->isEmpty() ? *code : QStringLiteral("0000");
    _customerEmail = settingOr(SettingsKey::CustomerEmail, QStringLiteral("NoEmailAddress"));
    _bagNo = UserDef::integerForKey(SettingsKey::BagNo) + 1;
    _macAddress = archiveMacAddress(UserDef::macAddress());
}

void JobInfo::addSelectWorkFile(const QString& path) {
    _selectWorkFiles.append(path);
}

void JobInfo::setBagNo(qint64 bagNo) {
    _bagNo = bagNo;
    _zipName.reset();
    _zipFolderPath.reset();
    _zipFilePath.reset();
    _zipPoolFilePath.reset();
}

QString JobInfo::zipNameForBagNo(qint64 bagNo) const {
    return QStringLiteral("%1_%2_%3")
        .arg(_customerCode, _macAddress,
             QString::asprintf("%07lld", static_cast<long long>(bagNo)));
}

QString JobInfo::zipName() const {
    if (!_zipName) {
        _zipName = zipNameForBagNo(_bagNo);
    }
    return *_zipName;
}

QString JobInfo::zipFolderPath() const {
    if (!_zipFolderPath) {
        _zipFolderPath = WorkFolder::workFolderPath() + u'/' + zipName();
    }
    return *_zipFolderPath;
}

QString JobInfo::zipFilePath() const {
    if (!_zipFilePath) {
        _zipFilePath = zipFolderPath() + QStringLiteral(".zip");
    }
    return *_zipFilePath;
}

QString JobInfo::zipPoolFilePath() const {
    if (!_zipPoolFilePath) {
        _zipPoolFilePath =
            WorkFolder::orderZipPoolFolderPath() + u'/' + zipName() + QStringLiteral(".zip");
    }
    return *_zipPoolFilePath;
}

QString JobInfo::resizeFolder() const {
    if (!_resizeFolder) {
        const QString folderName = QFileInfo(QDir::cleanPath(_selectInfo)).fileName();
        if (!_selectInfo.isEmpty() && orbel::isFolderPath(_selectInfo) && !folderName.isEmpty()) {
            _resizeFolder = folderName + QStringLiteral("_mini");
        } else {
            _resizeFolder = QStringLiteral("りさいず_mini");
        }
    }
    return *_resizeFolder;
}

QString JobInfo::resizeFolderPath() const {
    if (!_resizeFolderPath) {
        _resizeFolderPath = WorkFolder::workFolderPath() + u'/' + resizeFolder();
    }
    return *_resizeFolderPath;
}

bool JobInfo::createResizeFolder() {
    clearWorkPath(resizeFolderPath());
    return orbel::limitCreateFolder(resizeFolderPath());
}

bool JobInfo::createZipFile() {
    clearWorkPath(zipFolderPath());
    clearWorkPath(zipFilePath());
    if (!orbel::limitCreateFolder(zipFolderPath())) {
        return false;
    }
    bool ok = createPrintReportFile(zipFolderPath());
    if (ok) {
        const QString report = zipFolderPath() + QStringLiteral("/PrintReport4.txt");
        // An archive without its report would reach the lab unreadable, so the result counts.
        // Packed inside the program, so the password never shows in a process list.
        ZipPacker packer(zipFilePath(), Tool::isTigerOperatingSystem()
                                            ? std::nullopt
                                            : std::optional<QString>(ZipJob::zipPassword()));
        const bool created = ZipPacker::createEmpty(zipFilePath());
        if (!created) {
            Log::outputLn(
                QStringLiteral("ZIP書き込みエラー 書庫を作れません: %1").arg(zipFilePath()));
        }
        ok = created && packer.open() &&
             packer.addFile(report, QStringLiteral("PrintReport4.txt")) && packer.finish();
        if (!ok) {
            if (!packer.errorText().isEmpty()) {
                Log::outputLn(QStringLiteral("ZIP書き込みエラー %1").arg(packer.errorText()));
            }
            orbel::limitDeleteFileOrFolder(zipFilePath());
        }
    }
    orbel::limitDeleteFileOrFolder(zipFolderPath());
    return ok;
}

qint64 JobInfo::selectProductResizePix() const {
    if (!isTab(OrderTab::Resize)) {
        return kDefaultResizePix;
    }
    QVariantMap record =
        UserDef::objectForKeyFromResizeDic(SettingsKey::ResizeGoodsOptionPopKey).toMap();
    if (!record.contains(QStringLiteral("resize_pix"))) {
        record = UserDef::objectForKeyFromResizeDic(SettingsKey::ResizeSizePopKey).toMap();
    }
    const std::optional<qint64> pix = leadingInteger(record.value(QStringLiteral("resize_pix")));
    // A target of no pixels would make the image tool fail on every file.
    return pix && *pix > 0 ? *pix : kDefaultResizePix;
}

void JobInfo::updateBagNo() const {
    // Written through at once: a number lost in a crash would name the next archive twice.
    UserDef::setObject(QVariant::fromValue(_bagNo), SettingsKey::BagNo, true);
}

void JobInfo::setJobMsg(const QString& msg) const {
    if (_jobMsg != nullptr) {
        _jobMsg->setJobMsg(msg);
    }
}

void JobInfo::jobMsgClear() const {
    if (_jobMsg != nullptr) {
        _jobMsg->jobMsgClear();
    }
}

void JobInfo::indicatorIndeterminate() const {
    if (_jobIndicator != nullptr) {
        _jobIndicator->indicatorIndeterminate();
    }
}

void JobInfo::indicatorClear() const {
    if (_jobIndicator != nullptr) {
        _jobIndicator->indicatorClear();
    }
}

void JobInfo::indicatorProgressWitMin(double min, double max) const {
    if (_jobIndicator != nullptr) {
        _jobIndicator->indicatorProgressWitMin(min, max);
    }
}

void JobInfo::indicatorUpdate(double value) const {
    if (_jobIndicator != nullptr) {
        _jobIndicator->indicatorUpdate(value);
    }
}

bool JobInfo::isFullPathTab() const {
    return isTab(OrderTab::Album) || isTab(OrderTab::Etc);
}

bool JobInfo::isResizeMode() const {
    if (!isTab(OrderTab::Resize)) {
        return false;
    }
    const auto dic = UserDef::resizeDic();
    return dic && dic->contains(QStringLiteral("ResizeResizeCbKey"));
}
