#include "ui/FileDownCtrl.h"

#include "job/NotificationCenter.h"
#include "service/FileDownListDataSource.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "ui/ReadingOrder.h"
#include "ui/ServiceWindowHost.h"
#include "util/Tool.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The bar runs on a fixed integer scale; the loader reports percentages.
constexpr int kBarScale = 1000;

QString code() {
    return UserDef::customerCode().value_or(QString());
}

// A name as one log line: control characters become "?".
QString printable(QString name) {
    for (QChar& c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'?';
    }
    return name;
}

} // namespace

FileDownCtrl::FileDownCtrl(ServiceWindowHost& host, QWidget* parent)
    : QDialog(parent), host_(host), dataSource_(new FileDownListDataSource(this)) {
    setObjectName(QStringLiteral("fileDownWindow"));
    setWindowTitle(QStringLiteral("ファイルダウンロード"));
    setAccessibleName(windowTitle());
    setModal(false);
    setMinimumSize(560, 460);

    auto* infoLabel = new QLabel(QStringLiteral("ラボからのお知らせ"), this);
    infoTextView_ = new QPlainTextEdit(this);
    infoTextView_->setObjectName(QStringLiteral("fileDownInfoTextView"));
    infoTextView_->setAccessibleName(infoLabel->text());
    infoTextView_->setReadOnly(true);
    infoLabel->setBuddy(infoTextView_);

    auto* tableLabel = new QLabel(QStringLiteral("ダウンロードするファイル"), this);
    tableView_ = new QTableView(this);
    tableView_->setObjectName(QStringLiteral("fileDownTableView"));
    tableView_->setAccessibleName(tableLabel->text());
    tableView_->setModel(dataSource_);
    tableView_->setAlternatingRowColors(true);
    tableView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableView_->setSelectionMode(QAbstractItemView::SingleSelection);
    tableView_->horizontalHeader()->setStretchLastSection(true);
    tableView_->verticalHeader()->hide();
    tableLabel->setBuddy(tableView_);

    statusField_ = new QLabel(this);
    statusField_->setObjectName(QStringLiteral("fileDownStatusField"));
    progressIndicator_ = new QProgressBar(this);
    progressIndicator_->setObjectName(QStringLiteral("fileDownProgressIndicator"));
    progressIndicator_->setAccessibleName(QStringLiteral("ダウンロードの進み具合"));
    progressIndicator_->setTextVisible(false);

    downloadButton_ = new QPushButton(QStringLiteral("ダウンロード"), this);
    downloadButton_->setObjectName(QStringLiteral("fileDownDownloadButton"));
    downloadButton_->setAccessibleName(downloadButton_->text());
    downloadButton_->setDefault(true);
    closeButton_ = new QPushButton(QStringLiteral("閉じる"), this);
    closeButton_->setObjectName(QStringLiteral("fileDownCloseButton"));
    closeButton_->setAccessibleName(QStringLiteral("閉じる／キャンセル"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(statusField_, 1);
    buttons->addStretch(); // keeps the buttons at their size while the status is hidden
    buttons->addWidget(closeButton_);
    buttons->addWidget(downloadButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(infoLabel);
    layout->addWidget(infoTextView_, 1);
    layout->addWidget(tableLabel);
    layout->addWidget(tableView_, 2);
    layout->addWidget(progressIndicator_);
    layout->addLayout(buttons);

    connect(dataSource_, &FileDownListDataSource::viewRefrash, this, &FileDownCtrl::viewRefrash);
    connect(downloadButton_, &QPushButton::clicked, this, &FileDownCtrl::downloadExecuteAction);
    connect(closeButton_, &QPushButton::clicked, this, &FileDownCtrl::closeFileDownloadAction);
    connect(&loader_, &FileDownLoader::statusChanged, statusField_, &QLabel::setText);
    connect(&loader_, &FileDownLoader::progressChanged, this, &FileDownCtrl::setProgress);
    connect(&loader_, &FileDownLoader::finished, this, &FileDownCtrl::jobThreadEnd);
    progressIndicator_->hide();
    viewRefrash();
}

FileDownCtrl::~FileDownCtrl() = default;

std::optional<QString> FileDownCtrl::fileListStr() const {
    return FileDownLoader::fileListStr(code());
}

QString FileDownCtrl::infoFileRead() const {
    return FileDownLoader::infoFileRead(code());
}

std::optional<QString> FileDownCtrl::loadFileList() {
    const QString customer = code();
    const QVariantMap history =
        UserDef::fileDownHistoryDic().value_or(QVariantMap()).value(customer).toMap();
    const std::optional<QString> listing = customer.isEmpty() ? std::nullopt : fileListStr();
    if (!listing) {
        infoTextView_->clear();
        dataSource_->setFileInfoArray({});
        return std::nullopt;
    }
    infoTextView_->clear();
    const FileDownListing parsed =
        FileDownListDataSource::parseListing(*listing, customer, history);
    for (const QString& name : parsed.refusedNames)
        Log::outputLn(QStringLiteral("ダウンロードできない名前のファイルを除外しました（%1）")
                          .arg(printable(name)));
    if (parsed.hasInfoFile)
        infoTextView_->setPlainText(infoFileRead());
    dataSource_->setFileInfoArray(parsed.rows);
    return listing;
}

void FileDownCtrl::fileDownloadCheck() {
    if (open_ && isVisible()) {
        raise();
        activateWindow();
        return;
    }
    if (!loadFileList()) {
        Tool::doneAlertWithMsg(QStringLiteral("ダウンロードできるファイルはありません"),
                               QStringLiteral("現在ダウンロードできるファイルはありません。"));
        return;
    }
    viewRefrash();
    progressIndicator_->hide();
    open_ = true;
    keepReadingOrder(this);
    show();
    raise();
    activateWindow();
    host_.menuUseOffAndViewRefresh();
}

void FileDownCtrl::viewRefrash() {
    if (downloading_) {
        statusField_->show();
        tableView_->setEnabled(false);
        downloadButton_->hide();
        closeButton_->setText(QStringLiteral("キャンセル"));
        closeButton_->setEnabled(true);
    } else {
        statusField_->hide();
        tableView_->setEnabled(true);
        downloadButton_->show();
        downloadButton_->setEnabled(dataSource_->isCheckFile());
        downloadButton_->setToolTip(
            dataSource_->isCheckFile()
                ? QString()
                : QStringLiteral("ダウンロードするファイルにチェックを入れてください"));
        closeButton_->setText(QStringLiteral("閉じる"));
        closeButton_->setEnabled(true);
    }
}

void FileDownCtrl::downloadExecuteAction() {
    if (downloading_ || !dataSource_->isCheckFile())
        return;
    Tool::folderSelectSheet(
        this, [this](std::optional<QString> folder) { downloadFolderSelectDidEnd(folder); });
}

void FileDownCtrl::downloadFolderSelectDidEnd(const std::optional<QString>& folder) {
    if (!folder || folder->isEmpty() || downloading_)
        return;
    const QStringList names = dataSource_->checkFiles();
    // Files of the same name are replaced only when the user says so.
    QStringList existing;
    const QDir dir(*folder);
    for (const QString& name : names) {
        if (QFileInfo::exists(dir.filePath(name)))
            existing.append(name);
    }
    if (!existing.isEmpty() &&
        !Tool::alertOkNgWithMsg(
            QStringLiteral("同じ名前のファイルがあります"),
            QStringLiteral("保存先のフォルダに次のファイルがすでにあります。\n%1\n"
                           "上書きしてよろしいですか？")
                .arg(existing.join(u'\n')))) {
        return;
    }
    saveFolderPath_ = *folder;
    FileDownRequest request;
    request.customerCode = code();
    request.saveFolder = saveFolderPath_;
    request.fileNames = names;
    request.fileSizes = dataSource_->checkFileSizes();
    request.overwriteNames = existing;
    downloading_ = true;
    viewRefrash();
    jobThread(request);
}

void FileDownCtrl::jobThread(const FileDownRequest& request) {
    statusField_->setText(QStringLiteral("接続中..."));
    setProgress(0, 0);
    progressIndicator_->show();
    if (!loader_.start(request)) {
        downloading_ = false;
        progressIndicator_->hide();
        viewRefrash();
    }
}

void FileDownCtrl::setProgress(double value, double max) {
    if (max <= 0) {
        progressIndicator_->setRange(0, 0); // no total known: indeterminate
        return;
    }
    progressIndicator_->setRange(0, kBarScale);
    progressIndicator_->setValue(static_cast<int>(std::clamp(value / max, 0.0, 1.0) * kBarScale));
}

void FileDownCtrl::jobThreadEnd(bool success, bool cancelled, const QString& errorMessage) {
    progressIndicator_->hide();
    downloading_ = false;
    statusField_->clear();
    if (success)
        dataSource_->clearCheck();
    viewRefrash();
    if (success) {
        Tool::doneAlertWithMsg(QStringLiteral("ファイルのダウンロードが完了しました"), QString());
    } else if (!cancelled) {
        Tool::alertWithMsg(QStringLiteral("エラーが発生しました"), errorMessage);
    }
    Q_EMIT downloadEnded(success);
}

void FileDownCtrl::closeFileDownloadAction() {
    if (!downloading_) {
        closeWindow();
        return;
    }
    if (Tool::alertOkNgWithMsg(QStringLiteral("ダウンロードを中止してよろしいですか？"),
                               QStringLiteral("キャンセルボタンが押されました。\n"
                                              "ダウンロードを中止してよろしいですか？"),
                               QStringLiteral("はい"), QStringLiteral("いいえ"))) {
        NotificationCenter::defaultCenter().postNotification(QStringLiteral("fileDownLoadCancel"));
    }
}

void FileDownCtrl::closeWindow() {
    hide();
    if (open_) {
        open_ = false;
        host_.menuUseOnAndViewRefresh();
    }
}

void FileDownCtrl::closeEvent(QCloseEvent* event) {
    event->ignore();
    closeFileDownloadAction();
}

void FileDownCtrl::reject() {
    closeFileDownloadAction();
}
