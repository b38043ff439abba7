#pragma once

#include "util/OrderTab.h"

#include <QString>
#include <QStringList>
#include <optional>

class ProductData;
class ProgressTarget;

// The record of one order while the job thread runs: what was selected, who orders, the order's
// identity (bag number, archive name), its working paths and the progress target of the tab that
// started it. Created and used on the job thread only.
class JobInfo {
public:
    // initWithSelectFiles:selectInfo:productData:jobIndicator:jobMsg:. The targets are not owned
    // and may be null (nothing is shown); a null jobMsg means the messages go to jobIndicator.
    JobInfo(QStringList selectFiles, QString selectInfo, ProductData* productData,
            ProgressTarget* jobIndicator, ProgressTarget* jobMsg = nullptr);
    // The same for the order of one tab, captured on the main thread when Send was pressed. The
    // first form takes the tab from the stored "MainTabLabel" at construction, for records made
    // outside a running job.
    JobInfo(std::optional<OrderTab> tab, QStringList selectFiles, QString selectInfo,
            ProductData* productData, ProgressTarget* jobIndicator,
            ProgressTarget* jobMsg = nullptr);

    // --- The order's tab (never the tab selected now: the user may switch during a job) ---
    std::optional<OrderTab> tab() const { return _tab; }
    bool isTab(OrderTab tab) const { return _tab == tab; }
    QString tabLabel() const { return _tab ? orderTabLabel(*_tab) : QString(); }
    // The album and etc tabs keep full paths below the selection in the archive.
    bool isFullPathTab() const;
    // Resize tab with its resize box ticked ("ResizeResizeCbKey" in "ResizeDic").
    bool isResizeMode() const;

    // --- Selection and identity ---
    const QStringList& selectFiles() const { return _selectFiles; }
    const QStringList& selectWorkFiles() const { return _selectWorkFiles; }
    const QString& selectInfo() const { return _selectInfo; }
    const QString& dateStr() const { return _dateStr; }             // %Y/%m/%d
    const QString& timeStr() const { return _timeStr; }             // %H:%M:%S
    const QString& customerCode() const { return _customerCode; }   // "0000" when none
    const QString& customerEmail() const { return _customerEmail; } // "NoEmailAddress" when none
    qint64 bagNo() const { return _bagNo; }                         // the stored BagNo + 1
    const QString& macAddress() const { return _macAddress; } // 12 hex digits or "000000000000"
    ProductData* productData() const { return _productData; }
    void addSelectWorkFile(const QString& path);

    // --- Names and paths (computed once, then kept) ---
    QString zipName() const;         // customer_MAC_%07d
    QString zipFolderPath() const;   // work area/zipName
    QString zipFilePath() const;     // work area/zipName.zip
    QString zipPoolFilePath() const; // order pool/zipName.zip
    QString resizeFolder() const;    // "<folder name>_mini" or "りさいず_mini"
    QString resizeFolderPath() const;

    // --- Work folders ---
    bool createResizeFolder();
    // The initial archive, holding only the order report "PrintReport4.txt".
    bool createZipFile();
    // Short-side pixel target of the resize stage (1999 unless the resize product names one).
    qint64 selectProductResizePix() const;
    // Stores this order's bag number as BagNo: only after a successful zip.
    void updateBagNo() const;

    // --- Progress targets ---
    void setJobMsg(const QString& msg) const;
    void jobMsgClear() const;
    void indicatorIndeterminate() const;
    void indicatorClear() const;
    void indicatorProgressWitMin(double min, double max) const;
    void indicatorUpdate(double value) const;

    // --- Order report (src/report/JobInfoReport.cpp) ---
    // Writes printReport() as "PrintReport4.txt" (Windows-31J, CR LF) into the folder.
    bool createPrintReportFile(const QString& folder) const;
    QString printReport() const; // head and body of the current tab's report; "" for no tab
    QString reportHead() const;
    QString sysInfo() const;                // the four system lines of the head
    QString orderOptions() const;           // the numbered order option blocks of the head
    QStringList orderFilePassArray() const; // the temporary copies, else the selected files

    // Order option block (five lines, each with CR LF).
    static QString makeOrderOptionStrFromOptIndex(int optIndex, const QString& optLabel,
                                                  const QString& optId, const QString& optText);
    // Unit option block (five lines, each with CR LF), or "" when the label data and the text are
    // both empty, or the label data is "0" or "-".
    static QString unitOptionWithOptIndex(int optIndex, const QString& optLabel,
                                          const QString& optLabelData, const QString& optId,
                                          const QString& optText, qint64 optQuantity);
    // Shorter forms: missing texts are empty, a missing quantity is 1, a missing id is
    // "9999,9999,11".
    static QString unitOptionWithOptIndex(int optIndex, const QString& optLabel,
                                          const QString& optLabelData, const QString& optId);
    static QString unitOptionWithOptIndex(int optIndex, const QString& optLabel,
                                          const QString& optLabelData, const QString& optId,
                                          qint64 optQuantity);
    static QString unitOptionWithOptIndexOptLabelData(int optIndex, const QString& optLabelData,
                                                      const QString& optId, qint64 optQuantity);
    static QString unitOptionWithOptIndexOptLabelData(int optIndex, const QString& optLabelData,
                                                      const QString& optId);
    static QString unitOptionWithOptIndexOptLabelData(int optIndex, const QString& optLabelData);
    static QString unitOptionWithOptIndexOptText(int optIndex, const QString& optLabel,
                                                 const QString& optText);

private:
    std::optional<OrderTab> _tab;
    QStringList _selectFiles;
    QStringList _selectWorkFiles;
    QString _selectInfo;
    QString _dateStr;
    QString _timeStr;
    QString _customerCode;
    QString _customerEmail;
    qint64 _bagNo = 0;
    QString _macAddress;
    mutable std::optional<QString> _zipName;
    mutable std::optional<QString> _zipFolderPath;
    mutable std::optional<QString> _zipFilePath;
    mutable std::optional<QString> _zipPoolFilePath;
    ProgressTarget* _jobIndicator = nullptr;
    ProgressTarget* _jobMsg = nullptr;
    mutable std::optional<QString> _resizeFolder;
    mutable std::optional<QString> _resizeFolderPath;
    ProductData* _productData = nullptr;
};
