#include "util/PathWalk.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace orbel::walk {

QString lastComponent(const QString& path) {
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == QLatin1Char('/')) {
        --end;
    }
    const QString trimmed = path.left(end);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    return slash < 0 || trimmed.size() == 1 ? trimmed : trimmed.mid(slash + 1);
}

namespace {

struct DirClose {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// One UTF-8 sequence at raw[i] (RFC 3629: no overlong forms, no surrogates, nothing past
// U+10FFFF): its code point and length, or none.
std::optional<std::pair<char32_t, int>> utf8At(const QByteArray& raw, qsizetype i) {
    const auto byte = [&raw](qsizetype at) { return static_cast<unsigned char>(raw[at]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        return std::pair<char32_t, int>(lead, 1);
    }
    int length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        c = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        c = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        c = lead & 0x07;
        minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (i + length > raw.size()) {
        return std::nullopt;
    }
    for (int k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return std::nullopt;
    }
    return std::pair<char32_t, int>(c, length);
}

bool isUtf8(const QByteArray& raw) {
    for (qsizetype i = 0; i < raw.size();) {
        const auto unit = utf8At(raw, i);
        if (!unit) {
            return false;
        }
        i += unit->second;
    }
    return true;
}

// "\xNN" or "\uNNNN", the digits in upper case.
QString hexEscape(char kind, uint value, int digits) {
    return QStringLiteral("\\") + QLatin1Char(kind) +
           QString::number(value, 16).rightJustified(digits, u'0').toUpper();
}

void appendShown(QString& out, char32_t c) {
    if (!isControlCharacter(c)) {
        out += QString::fromUcs4(&c, 1);
    } else if (c == U'\n') {
        out += QStringLiteral("\\n");
    } else if (c == U'\r') {
        out += QStringLiteral("\\r");
    } else if (c == U'\t') {
        out += QStringLiteral("\\t");
    } else {
        out += hexEscape(c < 0x100 ? 'x' : 'u', c, c < 0x100 ? 2 : 4);
    }
}

} // namespace

bool isControlCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

QString shownName(const QByteArray& raw) {
    QString out;
    for (qsizetype i = 0; i < raw.size();) {
        if (const auto unit = utf8At(raw, i)) {
            appendShown(out, unit->first);
            i += unit->second;
        } else {
            out += hexEscape('x', static_cast<unsigned char>(raw[i]), 2);
            ++i;
        }
    }
    return out;
}

QString shownName(const QString& text) {
    QString out;
    for (const char32_t c : text.toUcs4()) {
        appendShown(out, c);
    }
    return out;
}

QList<QFileInfo> folderEntries(const QString& folder, QStringList* unreadable) {
    QList<QFileInfo> entries;
    if (folder.isEmpty()) {
        return entries;
    }
    const QString clean = QDir::cleanPath(folder);
    if (!QFileInfo(clean).isDir()) {
        return entries;
    }
    // Listed by the system's own reader: Qt shows a name that is not UTF-8 with replacement
    // characters, under which the entry cannot be found again. Hidden entries are listed so that
    // the name rule, not the lister, decides about them.
    const std::unique_ptr<DIR, DirClose> dir(::opendir(QFile::encodeName(clean).constData()));
    if (!dir) {
        if (unreadable != nullptr) {
            unreadable->append(shownName(clean));
        }
        return entries;
    }
    const QString prefix = clean.endsWith(u'/') ? clean : clean + u'/';
    QList<QByteArray> leftOut;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0 && unreadable != nullptr) {
                unreadable->append(shownName(clean));
            }
            break;
        }
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        if (isUtf8(name)) {
            // Sockets, pipes and broken links are not files a studio can send.
            QFileInfo info(prefix + QString::fromUtf8(name));
            if (info.isDir() || info.isFile()) {
                entries.append(std::move(info));
            }
            continue;
        }
        // Left out: said so when it is a folder the walk would enter or a file it would take.
        struct stat info {};
        if (unreadable == nullptr ||
            ::fstatat(::dirfd(dir.get()), name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        if (S_ISDIR(info.st_mode) || (S_ISREG(info.st_mode) && !name.startsWith('.')) ||
            (S_ISLNK(info.st_mode) && !name.startsWith('.') &&
             ::fstatat(::dirfd(dir.get()), name.constData(), &info, 0) == 0 &&
             S_ISREG(info.st_mode))) {
            leftOut.append(name);
        }
    }
    if (unreadable != nullptr) {
        std::sort(leftOut.begin(), leftOut.end());
        for (const QByteArray& name : std::as_const(leftOut)) {
            unreadable->append(prefix + shownName(name));
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const QFileInfo& a, const QFileInfo& b) { return a.fileName() < b.fileName(); });
    return entries;
}

namespace {

// Returns false once visit asked to stop.
bool walkFolder(const QString& folder, const std::function<bool(const QFileInfo&)>& visit,
                qint64& visited, QStringList* unreadable) {
    for (const QFileInfo& entry : folderEntries(folder, unreadable)) {
        if (entry.isDir()) {
            // A link to a folder could lead back up the tree or out of it.
            if (entry.isSymLink()) {
                continue;
            }
            if (!walkFolder(entry.filePath(), visit, visited, unreadable)) {
                return false;
            }
            continue;
        }
        if (!entry.isFile() || entry.fileName().startsWith(QLatin1Char('.'))) {
            continue;
        }
        ++visited;
        if (!visit(entry)) {
            return false;
        }
    }
    return true;
}

} // namespace

qint64 walkFiles(const QString& folder, const std::function<bool(const QFileInfo&)>& visit,
                 QStringList* unreadable) {
    qint64 visited = 0;
    walkFolder(folder, visit, visited, unreadable);
    return visited;
}

} // namespace orbel::walk
