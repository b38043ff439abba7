#include "app/DisplayCheck.h"

#include <QFileInfo>
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Whether an X server listens on the local socket of display number: the abstract name first
// (what Xorg and Xvfb offer on Linux), then the file in /tmp/.X11-unix.
bool xSocketAnswers(const QByteArray& number) {
    for (const bool abstract : {true, false}) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        // An abstract name starts with a zero byte; the bounded write keeps either inside the
        // address.
        char* name = address.sun_path + (abstract ? 1 : 0);
        const int length = std::snprintf(name, sizeof(address.sun_path) - (abstract ? 1 : 0),
                                         "/tmp/.X11-unix/X%s", number.constData());
        bool ok = false;
        if (length > 0 && static_cast<size_t>(length) < sizeof(address.sun_path) - 1) {
            const auto size = static_cast<socklen_t>(
                offsetof(sockaddr_un, sun_path) + static_cast<size_t>(length) + (abstract ? 1 : 0));
            ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0;
        }
        ::close(fd);
        if (ok)
            return true;
    }
    return false;
}

// An X display on this machine (":0", ":1.0", "unix:2") answers on its socket; a display on
// another host is left to Qt.
bool xDisplayReachable(const QString& display) {
    QString rest = display;
    if (rest.startsWith(QStringLiteral("unix:")))
        rest = rest.mid(4);
    if (!rest.startsWith(u':'))
        return true;
    const QString number = rest.mid(1).section(u'.', 0, 0);
    if (number.isEmpty() ||
        !std::all_of(number.begin(), number.end(), [](QChar c) { return c.isDigit(); }))
        return true;
    return xSocketAnswers(number.toLatin1());
}

bool waylandReachable(const QProcessEnvironment& env) {
    QString name = env.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (name.isEmpty())
        return false;
    if (!name.startsWith(u'/'))
        name = env.value(QStringLiteral("XDG_RUNTIME_DIR")) + u'/' + name;
    return QFileInfo(name).exists();
}

} // namespace

std::optional<QString> DisplayCheck::missingDisplay(const QStringList& arguments,
                                                    const QProcessEnvironment& env) {
    QString platforms = env.value(QStringLiteral("QT_QPA_PLATFORM"));
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("-platform") ||
            arguments.at(i) == QLatin1String("--platform"))
            platforms = arguments.at(i + 1);
    }
    if (platforms.trimmed().isEmpty())
        platforms = QStringLiteral("xcb");
    const QString display = env.value(QStringLiteral("DISPLAY"));
    QString why;
    for (const QString& entry : platforms.split(u';', Qt::SkipEmptyParts)) {
        const QString platform = entry.section(u':', 0, 0).trimmed();
        if (platform == QLatin1String("xcb")) {
            if (display.isEmpty()) {
                why = QStringLiteral("環境変数 DISPLAY が設定されていません");
            } else if (!xDisplayReachable(display)) {
                why = QStringLiteral("ディスプレイ %1 に接続できません").arg(display);
            } else {
                return std::nullopt;
            }
        } else if (platform.startsWith(QLatin1String("wayland"))) {
            if (waylandReachable(env))
                return std::nullopt;
            why = QStringLiteral("Wayland のディスプレイ（WAYLAND_DISPLAY）がありません");
        } else {
            // offscreen, minimal, vnc, eglfs, ...: no desktop session needed.
            return std::nullopt;
        }
    }
    return QStringLiteral(
               "halvix2: 画面を表示できません（%1）。デスクトップのセッションで起動するか、"
               "xvfb-run などで仮想画面を用意してください。")
        .arg(why);
}

std::optional<int> DisplayCheck::refuse(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const std::optional<QString> line =
        missingDisplay(arguments, QProcessEnvironment::systemEnvironment());
    if (!line)
        return std::nullopt;
    std::fputs((*line + u'\n').toLocal8Bit().constData(), stderr);
    return kExitNoDisplay;
}
