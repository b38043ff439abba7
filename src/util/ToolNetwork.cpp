// Network address of Tool: the hardware addresses of the machine's Ethernet interfaces, read
// from the kernel's interface table (/sys/class/net).
#include "util/Tool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {

constexpr int kEthernetType = 1; // ARPHRD_ETHER

QString interfaceRoot() {
    const QString overridden = qEnvironmentVariable("HALVIX_SYS_CLASS_NET");
    return overridden.isEmpty() ? QStringLiteral("/sys/class/net") : overridden;
}

QByteArray readSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.read(256).trimmed();
}

// "aa:bb:cc:dd:ee:ff" in lower case, or "" when the text is not six non-zero address bytes.
QString normalisedAddress(const QByteArray& text) {
    const QList<QByteArray> parts = text.split(':');
    if (parts.size() != 6) {
        return {};
    }
    QStringList bytes;
    bool allZero = true;
    for (const QByteArray& part : parts) {
        bool ok = false;
        const uint value = part.toUInt(&ok, 16);
        if (!ok || part.isEmpty() || part.size() > 2 || value > 0xff) {
            return {};
        }
        allZero = allZero && value == 0;
        bytes.append(QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')));
    }
    return allZero ? QString() : bytes.join(QLatin1Char(':'));
}

struct Interface {
    QString name;
    bool physical = false; // backed by a device, not a bridge, tunnel or container link
    QString address;
};

} // namespace

std::optional<QList<QVariantMap>> Tool::getMACAddressArray() {
    const QDir root(interfaceRoot());
    if (!root.exists() || !root.isReadable()) {
        return std::nullopt;
    }
    QList<Interface> interfaces;
    const QStringList names =
        root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden, QDir::Name);
    for (const QString& name : names) {
        const QString folder = root.filePath(name);
        bool typeOk = false;
        const int type = readSmallFile(folder + QStringLiteral("/type")).toInt(&typeOk);
        if (!typeOk || type != kEthernetType || name == QLatin1String("lo")) {
            continue;
        }
        const QString address =
            normalisedAddress(readSmallFile(folder + QStringLiteral("/address")));
        if (address.isEmpty()) {
            continue;
        }
        const bool physical = QFileInfo::exists(folder + QStringLiteral("/device"));
        interfaces.append({name, physical, address});
    }
    // The address names the installation: built-in and plugged-in devices come before virtual
    // interfaces (bridges, containers), whose addresses may change between starts.
    std::stable_sort(
        interfaces.begin(), interfaces.end(),
        [](const Interface& a, const Interface& b) { return a.physical > b.physical; });
    QList<QVariantMap> result;
    for (const Interface& entry : interfaces) {
        result.append(QVariantMap{{QStringLiteral("IOMACAddress"), entry.address},
                                  {QStringLiteral("BSD Name"), entry.name}});
    }
    return result;
}

QString Tool::getMACAddress() {
    const std::optional<QList<QVariantMap>> all = getMACAddressArray();
    if (!all || all->isEmpty()) {
        return QStringLiteral("");
    }
    return all->first().value(QStringLiteral("IOMACAddress")).toString();
}

QString Tool::getMacAddressUpperStr() {
    return getMACAddress().remove(QLatin1Char(':')).toUpper();
}
