#pragma once

#include <QByteArrayView>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace orbel {

// SHA-256 on libcrypto's EVP interface (the CPU's SHA instructions where it has them): about ten
// times the speed of Qt's own here, which matters for archives of gigabytes hashed at every send.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void addData(QByteArrayView data);
    // Lower-case hex of everything added; the hash is finished and starts again empty.
    QString hexResult();

    // The file read in pieces (archives reach 4 GB); none when it cannot be read whole or
    // shouldStop, polled between pieces, said so.
    static std::optional<QString> ofFile(const QString& path,
                                         const std::function<bool()>& shouldStop = {});

private:
    struct Context;
    std::unique_ptr<Context> _context;
};

} // namespace orbel
