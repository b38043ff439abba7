#include "util/Sha256.h"

#include "util/LoadedSymbols.h"
#include "util/UniqueFd.h"

#include <QCryptographicHash>
#include <QFile>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <openssl/evp.h>
#include <unistd.h>
#include <vector>

namespace orbel {

namespace {

// Large enough that a read costs little beside the hash, small enough to stop promptly.
constexpr size_t kPiece = 1024 * 1024;

// libcrypto, loaded at the first hash rather than with the program: binding its thousands of
// symbols would hold up every start, while the first hash comes with a send or a pool check.
struct CryptoLibrary {
    decltype(&::EVP_MD_CTX_new) mdCtxNew = nullptr;
    decltype(&::EVP_MD_CTX_free) mdCtxFree = nullptr;
    decltype(&::EVP_DigestInit_ex) digestInit = nullptr;
    decltype(&::EVP_DigestUpdate) digestUpdate = nullptr;
    decltype(&::EVP_DigestFinal_ex) digestFinal = nullptr;
    decltype(&::EVP_sha256) sha256 = nullptr;
};

// None when it cannot be loaded: the hash is then Qt's own, slower but the same.
const CryptoLibrary* cryptoLibrary() {
    static std::once_flag once;
    static CryptoLibrary api;
    static bool ready = false;
    std::call_once(once, [] {
        void* library = ::dlopen("libcrypto.so.3", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr)
            return;
        ready = resolveSymbol(library, "EVP_MD_CTX_new", api.mdCtxNew) &&
                resolveSymbol(library, "EVP_MD_CTX_free", api.mdCtxFree) &&
                resolveSymbol(library, "EVP_DigestInit_ex", api.digestInit) &&
                resolveSymbol(library, "EVP_DigestUpdate", api.digestUpdate) &&
                resolveSymbol(library, "EVP_DigestFinal_ex", api.digestFinal) &&
                resolveSymbol(library, "EVP_sha256", api.sha256);
    });
    return ready ? &api : nullptr;
}

} // namespace

struct Sha256::Context {
    const CryptoLibrary* crypto = cryptoLibrary();
    EVP_MD_CTX* md = nullptr;
    // Only where libcrypto is missing.
    std::unique_ptr<QCryptographicHash> fallback;
    bool failed = false;

    Context() {
        if (crypto == nullptr) {
            fallback = std::make_unique<QCryptographicHash>(QCryptographicHash::Sha256);
            return;
        }
        md = crypto->mdCtxNew();
        failed = md == nullptr || !start();
    }
    ~Context() {
        if (md != nullptr)
            crypto->mdCtxFree(md);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    bool start() { return crypto->digestInit(md, crypto->sha256(), nullptr) == 1; }
};

Sha256::Sha256() : _context(std::make_unique<Context>()) {}

Sha256::~Sha256() = default;

void Sha256::addData(QByteArrayView data) {
    // After a failure every later call is a no-op and the result empty.
    if (_context->failed || data.isEmpty())
        return;
    if (_context->fallback) {
        _context->fallback->addData(data);
        return;
    }
    if (_context->crypto->digestUpdate(_context->md, data.data(),
                                       static_cast<size_t>(data.size())) != 1)
        _context->failed = true;
}

QString Sha256::hexResult() {
    if (_context->failed)
        return {};
    if (_context->fallback) {
        const QByteArray digest = _context->fallback->result();
        _context->fallback->reset();
        return QString::fromLatin1(digest.toHex());
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (_context->crypto->digestFinal(_context->md, digest.data(), &length) != 1) {
        _context->failed = true;
        return {};
    }
    _context->failed = !_context->start();
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
