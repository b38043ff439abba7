#include "TestHome.h"

#include "settings/SettingsStore.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace {

const char* const kVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"};

} // namespace

TestHome::TestHome() {
    for (const char* name : kVariables) {
        savedEnv.emplace_back(QByteArray(name), qEnvironmentVariableIsSet(name)
                                                    ? std::optional<QByteArray>(qgetenv(name))
                                                    : std::nullopt);
    }
    // Drop what the store holds for the previous home before the environment changes.
    SettingsStore::resetForTesting();
    if (dir.isValid()) {
        const QString home = dir.path();
        QDir(home).mkpath(QStringLiteral(".config"));
        QDir(home).mkpath(QStringLiteral(".local/share"));
        QDir(home).mkpath(QStringLiteral(".cache"));
        qputenv("HOME", QFile::encodeName(home));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/.local/share")));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(home + QStringLiteral("/.cache")));
    }
}

TestHome::~TestHome() {
    SettingsStore::resetForTesting();
    // A test may have made folders unwritable; give them back so the home can be removed.
    if (dir.isValid()) {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDirIterator it(dir.path(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile::setPermissions(it.next(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }
    for (const auto& [name, value] : savedEnv) {
        if (value) {
            qputenv(name.constData(), *value);
        } else {
            qunsetenv(name.constData());
        }
    }
}
