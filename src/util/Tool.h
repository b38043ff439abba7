#pragma once

#include "util/CurlAccount.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <optional>

class ProcessStopper;

// Encodings the program writes text files in: UTF-8 for the log, Shift_JIS (Windows-31J) for the
// order report.
enum class TextEncoding { Utf8, ShiftJis };

// What an alert or chooser asks of the human. The GUI answers with a message box on the main
// thread; tests install a responder that records each request and answers it.
struct AlertRequest {
    // OpenFiles: several files at once.
    enum class Kind {
        Message,
        OkNg,
        FolderSelect,
        Beep,
        ThreeButton,
        OpenFile,
        SaveFile,
        OpenFiles
    };
    Kind kind = Kind::Message;
    // Message only: a report that something is done (information), not a problem (warning).
    bool done = false;
    QString message;         // the alert's message text; a chooser's title
    QString information;     // the informative text, shown literally
    QString okTitle;         // first (default) button
    QString ngTitle;         // second button (OkNg, ThreeButton)
    QString thirdTitle;      // third button (ThreeButton only)
    int escapeButton = 3;    // ThreeButton: the button Escape and the close box answer with
    QStringList nameFilters; // OpenFile: "画像 (*.jpg *.jpeg)" and the like; empty = any file
    QString folder;          // SaveFile: the folder the chooser opens in
    QString proposedName;    // SaveFile: the file name it proposes
    // Message only: the window the alert is placed over, horizontally centred (may be null).
    QPointer<QObject> baseWindow;
};

struct AlertAnswer {
    bool ok = true;     // the first button was chosen (choosers: a path was chosen)
    QString folderPath; // FolderSelect: the chosen folder, empty when cancelled
    int button = 1;     // ThreeButton: 1, 2 or 3
    QString filePath;   // OpenFile / SaveFile: the chosen file, empty when cancelled

    QStringList filePaths; // OpenFiles: the chosen files, empty when cancelled
};

using AlertResponder = std::function<AlertAnswer(const AlertRequest&)>;

// An HTTP read of a page: its text, or none; tooLarge when the body passed the size limit.
struct HttpReadResult {
    std::optional<QString> text;
    bool tooLarge = false;
};

// What one child-process runner call did. The runners never log (the log sits above this floor):
// a caller that wants a launch failure in the log checks `launched` and writes it itself.
struct ToolRunResult {
    bool launched = false;         // false: the program or the working folder could not be used
    bool ok = false;               // the runner's own answer (see each runner)
    std::optional<QString> output; // the runner's text answer, where it has one
};

// Static operations that touch the machine: network address, system texts, version and resources,
// size and date texts, text files, HTTP, alerts, and the child-process runners.
class Tool {
public:
    Tool() = delete;

    // --- Network address (ToolNetwork.cpp) ---
    // One entry per Ethernet interface (key "IOMACAddress", "aa:bb:cc:dd:ee:ff"); none when the
    // interface list cannot be read.
    static std::optional<QList<QVariantMap>> getMACAddressArray();
    static QString getMACAddress();         // first entry, or ""
    static QString getMacAddressUpperStr(); // 12 upper-case hex digits, or ""

    // --- System description (ToolSystem.cpp) ---
    static QString operatingSystemVersionString();
    static bool isTigerOperatingSystem();
    static bool isLeopardOperatingSystem();
    static bool isSnowLeopardOperatingSystem();
    static bool isLionOperatingSystem();
    static bool isMountainLionOperatingSystem();
    static bool isMavericksOperatingSystem();
    static bool isYosemiteOperatingSystem();
    static QString hostinfoResultForKey(const QString& key);
    static QString processorType();
    static QString primaryMemory();

    // --- Application resources (ToolResource.cpp) ---
    static QString applicationVersion();
    // The folder of the shipped resources (share/halvix2 beside the program, or
    // $HALVIX_RESOURCE_DIR when set).
    static QString resourceFolderPath();
    // Full path of a shipped resource file "name.type", or "" when missing.
    static QString resourcePath(const QString& name, const QString& type);
    static std::optional<QString> readResourceTextFile(const QString& name); // "name.txt", UTF-8

    // --- Sizes and numbers (Tool.cpp) ---
    static QString autoDataByteStringWithByte(double bytes);
    static QString intToStr(qint64 value);

    // --- Date and time, current local time (ToolDateTime.cpp) ---
    static QString nowDateTimeWithFormat(const char* strftimeFormat);
    static QString nowDateTimeAllCompress(); // %Y%m%d%H%M%S
    static QString nowDateTimeCompress();    // %Y%m%d_%H%M%S
    static QString nowDateTimeNomal();       // %Y/%m/%d %H:%M:%S
    static QString nowDateCompress();        // %Y%m%d
    static QString nowTimeCompress();        // %H%M%S
    static QString nowDateNomal();           // %Y/%m/%d
    static QString nowTimeNomal();           // %H:%M:%S

    // --- Text files (ToolTextFile.cpp) ---
    // Encodes text; characters the encoding cannot hold are replaced ("?" for Shift_JIS).
    static QByteArray encodeText(const QString& text, TextEncoding encoding);
    static bool createTextFileWithPath(const QString& path, const QString& text,
                                       TextEncoding encoding);
    static bool appendTextFileWithPath(const QString& path, const QString& text,
                                       TextEncoding encoding);

    // --- HTTP (ToolHttp.cpp) ---
    // The largest page or catalogue a read accepts; a larger body is refused, never held.
    static constexpr qint64 kMaxHttpBodyBytes = 32LL * 1024 * 1024;
    // One synchronous GET, no cache; the body as UTF-8, or none on an invalid URL, failure,
    // time-out, a body over kMaxHttpBodyBytes or a body that is not UTF-8.
    static std::optional<QString> readHttp(const QString& url, double timeoutInterval = 5.0);
    // The same, telling a body over maxBytes apart so that the caller can log it.
    static HttpReadResult readHttpChecked(const QString& url, double timeoutInterval = 5.0,
                                          qint64 maxBytes = kMaxHttpBodyBytes);

    // --- Alerts and choosers (ToolAlert.cpp) ---
    // The responder answers every alert and chooser, on the thread that raises it (the GUI's
    // hands a job thread's request to the main thread and waits). Empty = none installed: alerts
    // are written to standard error and answered with their default button.
    static void setAlertResponder(AlertResponder responder);
    static void alertWithMsg(const QString& msg, const QString& msg2,
                             const QString& btOk = QStringLiteral("はい"));
    static bool alertOkNgWithMsg(const QString& msg, const QString& msg2,
                                 const QString& btOk = QStringLiteral("はい"),
                                 const QString& btNg = QStringLiteral("いいえ"));
    // One-button alert that reports something done (the order sent, the file saved).
    static void doneAlertWithMsg(const QString& msg, const QString& msg2);
    // One-button alert placed over baseWindow.
    static void alertWithMsg(const QString& msg, const QString& msg2, QObject* baseWindow);
    static void beep(const QString& name);
    // Three buttons; answers 1, 2 or 3 for the button chosen (1 is the default). Escape and the
    // close box answer escapeButton: the choice that changes nothing.
    static int alertThreeButtonWithMsg(const QString& msg, const QString& msg2, const QString& bt1,
                                       const QString& bt2, const QString& bt3,
                                       int escapeButton = 3);
    // Before writing path: true when nothing is there, or the user agreed to replace it.
    static bool confirmReplaceFile(const QString& path);
    // One existing file; nameFilters as a file chooser takes them. None when cancelled.
    static std::optional<QString> openFileSelect(const QString& title,
                                                 const QStringList& nameFilters = {});
    // A file name to write, starting in folder with proposedName. The chooser itself never asks
    // about replacing an existing file: the caller knows the final name and asks for that one.
    static std::optional<QString> saveFileSelect(const QString& title, const QString& folder,
                                                 const QString& proposedName);
    static std::optional<QString> folderSelect();
    // Several existing files as a sheet on window (the keyboard's way to what a drop does);
    // empty when cancelled. nameFilters as for openFileSelect.
    static QStringList openFilesSelect(QObject* window, const QString& title,
                                       const QStringList& nameFilters = {});
    // The folder chooser as a sheet on window; delegate receives the chosen folder or none.
    static void folderSelectSheet(QObject* window,
                                  const std::function<void(std::optional<QString>)>& delegate);

    // --- Image operations (src/job/ToolImage.cpp) ---
    // The image tool fits path into a square of resizeWidePix pixels (aspect kept) and writes a
    // JPEG of compressQuality ("low", "normal", "high", "best" or a percentage) to resizePath;
    // true for exit status 0. The source is never the output.
    // A stopper, when given, ends the tool at once from another thread (the result is then false).
    static bool jpegFileResizeWithPath(const QString& path, const QString& resizePath,
                                       qint64 resizeWidePix,
                                       const QString& compressQuality = QStringLiteral("high"),
                                       const ProcessStopper* stopper = nullptr);
    // The same with the short side as the target; the long side follows from the image's size.
    static bool
    jpegFileResizeWithPathNarrowPix(const QString& path, const QString& resizePath,
                                    qint64 resizeNarrowPix,
                                    const QString& compressQuality = QStringLiteral("high"),
                                    const ProcessStopper* stopper = nullptr);
    // Long-side target for a short-side target: long × (narrow ÷ short), truncated; 0 when a side
    // is not above 0.
    static qint64 resizeWidePixForNarrowPix(qint64 pixelWidth, qint64 pixelHeight,
                                            qint64 resizeNarrowPix);
    // The image tool's arguments for one resize, in the order the tool reads them.
    static QStringList jpegFileResizeArguments(const QString& path, const QString& resizePath,
                                               qint64 resizeWidePix,
                                               const QString& compressQuality);

    // --- Zip operations (src/job/ToolZip.cpp) ---
    // "/usr/bin/zip option [-n stored suffixes] [-P pass] zipFile addFile" in currentPath ("~"
    // expanded); true for exit status 0. Already compressed files (JPEG, PNG, zip, video) are
    // stored, not deflated.
    static bool zipWithOption(const QString& option, const QString& zipFile, const QString& addFile,
                              const QString& currentPath = QStringLiteral("~"));
    static bool passZipWithPass(const QString& pass, const QString& option, const QString& zipFile,
                                const QString& addFile,
                                const QString& currentPath = QStringLiteral("~"));
    // Expands "X.zip" into the folder "X" beside it, then deletes the zip file.
    static bool unzipAndDeleteWithPath(const QString& zipPath);

    // --- FTP operations (src/job/ToolFtp.cpp) ---
    // "/usr/bin/curl -O ftp://host+path" in downFolder (the account and the TLS on curl's
    // standard input, never on its command line), then unzipAndDeleteWithPath
    // on the downloaded file; false when either fails.
    static bool ftpFileDownLoadAndUnzipWithHost(const QString& host, const QString& path,
                                                const QString& user, const QString& pass,
                                                const QString& downFolder,
                                                orbel::FtpTlsMode tls = orbel::FtpTlsMode::Off,
                                                const QString& caFile = QString());

    // --- Child-process runners (ToolShell.cpp, ToolTask.cpp) ---
    // "/bin/sh -c command": standard output, or none when standard error is not empty or the
    // launch fails.
    static std::optional<QString> simpleShell(const QString& command);
    // The same with the launch reported apart: output as simpleShell's result, ok = output held.
    static ToolRunResult simpleShellRun(const QString& command);
    // The program with its arguments (no shell) in currentPath ("~" expanded), waiting for the
    // exit; true only for exit status 0.
    static bool taskWithCmd(const QString& program, const QStringList& args = {},
                            const QString& currentPath = QStringLiteral("~"));
    // The same with the launch reported apart: ok = exit status 0, no output.
    static ToolRunResult taskRunWithCmd(const QString& program, const QStringList& args = {},
                                        const QString& currentPath = QStringLiteral("~"));
    // As taskWithCmd, capturing standard output; none when the launch fails.
    static std::optional<QString>
    outputTaskWithCmd(const QString& program, const QStringList& args = {},
                      const QString& currentPath = QStringLiteral("~"));
    // The same with the launch reported apart: output as outputTaskWithCmd's result.
    static ToolRunResult outputTaskRunWithCmd(const QString& program, const QStringList& args = {},
                                              const QString& currentPath = QStringLiteral("~"));
};
