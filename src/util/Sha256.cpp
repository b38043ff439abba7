#include "util/Sha256.h"

#include "util/UniqueFd.h"

#include <QFile>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>
#include <vector>

namespace orbel {

namespace {

// Large enough that a read costs little beside the hash, small enough to stop promptly.
constexpr size_t kPiece = 1024 * 1024;

struct MdContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

} // namespace

struct Sha256::Context {
    std::unique_ptr<EVP_MD_CTX, MdContextFree> md{EVP_MD_CTX_new()};
};

Sha256::Sha256() : _context(std::make_unique<Context>()) {
    // Only an allocation can fail here; then every later call is a no-op and the result empty.
    if (_context->md && EVP_DigestInit_ex(_context->md.get(), EVP_sha256(), nullptr) != 1)
        _context->md.reset();
}

Sha256::~Sha256() = default;

void Sha256::addData(QByteArrayView data) {
    if (_context->md && !data.isEmpty() &&
        EVP_DigestUpdate(_context->md.get(), data.data(), static_cast<size_t>(data.size())) != 1)
        _context->md.reset();
}

QString Sha256::hexResult() {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (!_context->md || EVP_DigestFinal_ex(_context->md.get(), digest.data(), &length) != 1)
        return {};
    EVP_DigestInit_ex(_context->md.get(), EVP_sha256(), nullptr);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(digest.data()), length).toHex());
}

std::optional<QString> Sha256::ofFile(const QString& path,
                                      const std::function<bool()>& shouldStop) {
    const UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return std::nullopt;
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    Sha256 hash;
    std::vector<char> piece(kPiece);
    for (;;) {
        if (shouldStop && shouldStop())
            return std::nullopt;
        const ssize_t n = ::read(fd.get(), piece.data(), piece.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        hash.addData(QByteArrayView(piece.data(), n));
    }
    QString hex = hash.hexResult();
    if (hex.isEmpty())
        return std::nullopt;
    return hex;
}

} // namespace orbel
