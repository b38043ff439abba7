#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <optional>

// Encodings the program writes text files in: UTF-8 for the log, Shift_JIS (Windows-31J) for the
// order report.
enum class TextEncoding { Utf8, ShiftJis };

// What an alert or chooser asks of the human. The GUI answers with a message box on the main
// thread; tests install a responder that records each request and answers it.
struct AlertRequest {
    enum class Kind { Message, OkNg, FolderSelect, Beep };
    Kind kind = Kind::Message;
    QString message;     // the alert's message text
    QString information; // the informative text, shown literally
    QString okTitle;     // first (default) button
    QString ngTitle;     // second button (OkNg only)
};

struct AlertAnswer {
    bool ok = true;     // the first button was chosen
    QString folderPath; // FolderSelect: the chosen folder, empty when cancelled
};

using AlertResponder = std::function<AlertAnswer(const AlertRequest&)>;

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
    // One synchronous GET, no cache; the body as UTF-8, or none on an invalid URL, failure,
    // time-out or a body that is not UTF-8.
    static std::optional<QString> readHttp(const QString& url, double timeoutInterval = 5.0);

    // --- Alerts and choosers (ToolAlert.cpp) ---
    static void setAlertResponder(AlertResponder responder); // empty = none installed
    static void alertWithMsg(const QString& msg, const QString& msg2,
                             const QString& btOk = QStringLiteral("はい"));
    static bool alertOkNgWithMsg(const QString& msg, const QString& msg2,
                                 const QString& btOk = QStringLiteral("はい"),
                                 const QString& btNg = QStringLiteral("いいえ"));
    static void beep(const QString& name);
    static std::optional<QString> folderSelect();

    // --- Image operations (src/job/ToolImage.cpp) ---

    // --- Zip operations (src/job/ToolZip.cpp) ---

    // --- FTP operations (src/job/ToolFtp.cpp) ---

    // --- Child-process runners (ToolShell.cpp, ToolTask.cpp) ---
    // "/bin/sh -c command": standard output, or none when standard error is not empty or the
    // launch fails.
    static std::optional<QString> simpleShell(const QString& command);
    // The program with its arguments (no shell) in currentPath ("~" expanded), waiting for the
    // exit; true only for exit status 0.
    static bool taskWithCmd(const QString& program, const QStringList& args = {},
                            const QString& currentPath = QStringLiteral("~"));
    // As taskWithCmd, capturing standard output; none when the launch fails.
    static std::optional<QString> outputTaskWithCmd(const QString& program,
                                                    const QStringList& args = {},
                                                    const QString& currentPath = QStringLiteral("~"));
};
