#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <memory>
#include <mutex>

// The per-user settings: one XML property list at $XDG_CONFIG_HOME/halvix2/settings.plist
// (~/.config/halvix2 by default), held in memory behind a mutex. Changes reach the disk within a
// few seconds, at flush() and at quit; a flush replaces the file atomically. A save that fails is
// logged and told to the studio once (through the alert gateway, on the main thread), and told
// again only after a save has succeeded in between.
class SettingsStore {
public:
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;
    ~SettingsStore(); // flushes

    // The store of this process; the file is read on first use.
    static SettingsStore& shared();

    QVariant value(const QString& key) const;                 // invalid when absent
    void setValue(const QString& key, const QVariant& value); // invalid value removes the key
    void remove(const QString& key);
    QVariantMap snapshot() const;

    // Writes unsaved changes of the shared store to disk now; true when the file is current.
    static bool flush();
    // Has the background writer write unsaved changes of the shared store now (atomically and
    // durably, as flush() does); returns at once, the caller not waiting for the disk.
    static void flushSoon();
    // Where the shared store lives (resolved on first use).
    static QString settingsFilePath();
    // The lock file of the settings folder (resolved from the environment now, reading nothing):
    // the program holding it is the one that writes these settings.
    static QString lockFilePath();
    // Tests: drops the shared store without writing, so the next use reads the file of the current
    // HOME / XDG_CONFIG_HOME afresh.
    static void resetForTesting();

private:
    class Impl;
    explicit SettingsStore(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};
