#include "job/ZipPacker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <immintrin.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr quint32 kLocalSignature = 0x04034b50;
constexpr quint32 kCentralSignature = 0x02014b50;
constexpr quint32 kDescriptorSignature = 0x08074b50;
constexpr quint32 kEndSignature = 0x06054b50;
constexpr quint32 kEnd64Signature = 0x06064b50;
constexpr quint32 kLocator64Signature = 0x07064b50;
constexpr quint16 kMadeBy = 0x031E; // Unix, 3.0, as zip writes it
constexpr quint16 kFlagEncrypted = 0x0001;
constexpr quint16 kFlagDescriptor = 0x0008;
constexpr quint16 kStored = 0;
constexpr quint16 kDeflated = 8;
constexpr quint32 kMax32 = 0xFFFFFFFFu;
constexpr qint64 kBlockSize = 256 * 1024;
constexpr qsizetype kFlushSize = 1024 * 1024;
// How much of the entry being added may wait in memory for its header, so that its bytes are
// hashed as they go out instead of read back: a photo fits.
constexpr qsizetype kHoldSize = 32 * 1024 * 1024;
// The level zip uses by default.
constexpr int kDeflateLevel = 6;
// An announced file up to this size is prepared whole in memory; a larger one is read as it is
// added, so memory stays bounded whatever the order holds.
constexpr qint64 kPrepareLimit = 8 * 1024 * 1024;
// How much prepared data may wait for the writer: deep enough that the writer never waits for a
// worker a busy machine has not scheduled yet.
constexpr qint64 kAheadBytes = 32 * 1024 * 1024;
constexpr size_t kAheadFiles = 512;
constexpr qsizetype kSpareCapacity = 1024 * 1024;
// How many announced files a worker takes at once, to encrypt them side by side.
constexpr size_t kBatch = 32;
constexpr qint64 kBatchBytes = 8 * 1024 * 1024;
// Written bytes are handed to the disk in steps of this size while the packing goes on, so that
// the closing fsync waits for the tail only, not for the whole archive.
constexpr quint64 kWriteBackStep = 8 * 1024 * 1024;

quint64 g_zip64Limit = kMax32;
// Set by tests only; used from the packer's own thread (drawSalt), never from a worker.
std::optional<QRandomGenerator> g_seededSalt;

// The CRC-32 table of the traditional zip encryption (the same polynomial as the data CRC).
constexpr std::array<quint32, 256> makeCrcTable() {
    std::array<quint32, 256> table{};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1U) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}
constexpr std::array<quint32, 256> kCrcTable = makeCrcTable();

// Traditional PKWARE encryption: three keys stirred by every plain byte.
class PkwareKeys {
public:
    explicit PkwareKeys(const QByteArray& password) {
        for (const char c : password) {
            update(static_cast<quint8>(c));
        }
    }
    void encrypt(char* data, qint64 size) {
        auto* bytes = reinterpret_cast<quint8*>(data);
        for (qint64 i = 0; i < size; ++i) {
            const quint32 t = (_k2 | 2U) & 0xFFFFU;
            const quint8 plain = bytes[i];
            bytes[i] = static_cast<quint8>(plain ^ static_cast<quint8>((t * (t ^ 1U)) >> 8));
            update(plain);
        }
    }

private:
    void update(quint8 c) {
        _k0 = (_k0 >> 8) ^ kCrcTable[(_k0 ^ c) & 0xFFU];
        _k1 = (_k1 + (_k0 & 0xFFU)) * 134775813U + 1U;
        _k2 = (_k2 >> 8) ^ kCrcTable[(_k2 ^ (_k1 >> 24)) & 0xFFU];
    }
    quint32 _k0 = 0x12345678U;
    quint32 _k1 = 0x23456789U;
    quint32 _k2 = 0x34567890U;
    friend class SideBySide;
};

// GCC 12's own AVX-512 headers trip this warning (their undefined start values).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
// Thirty-two entries' data encrypted in the lanes of the CPU's 512-bit registers, count bytes of
// each: the steps of the cipher are the same, the table look-ups are gathers, and two groups of
// sixteen run side by side so that one's gathers overlap the other's. The bytes are turned into
// columns (one byte of each entry) and back in pieces of 64.
constexpr size_t kLanes = 32;

struct WideKeys {
    __m512i k0;
    __m512i k1;
    __m512i k2;
};

// One byte of sixteen entries: encrypted in place in column, the keys stirred.
__attribute__((target("avx512f"), always_inline)) inline void wideStep(WideKeys& keys,
                                                                       quint8* column) {
    const __m512i low8 = _mm512_set1_epi32(0xFF);
    const __m512i one = _mm512_set1_epi32(1);
    const auto* table = reinterpret_cast<const int*>(kCrcTable.data());
    auto* bytes = reinterpret_cast<__m128i*>(column);
    const __m512i plain = _mm512_cvtepu8_epi32(_mm_load_si128(bytes));
    const __m512i t =
        _mm512_and_si512(_mm512_or_si512(keys.k2, _mm512_set1_epi32(2)), _mm512_set1_epi32(0xFFFF));
    const __m512i stream = _mm512_srli_epi32(_mm512_mullo_epi32(t, _mm512_xor_si512(t, one)), 8);
    _mm_store_si128(bytes, _mm512_cvtepi32_epi8(_mm512_xor_si512(plain, stream)));
    const __m512i at0 = _mm512_and_si512(_mm512_xor_si512(keys.k0, plain), low8);
    keys.k0 =
        _mm512_xor_si512(_mm512_srli_epi32(keys.k0, 8), _mm512_i32gather_epi32(at0, table, 4));
    keys.k1 = _mm512_add_epi32(
        _mm512_mullo_epi32(_mm512_add_epi32(keys.k1, _mm512_and_si512(keys.k0, low8)),
                           _mm512_set1_epi32(134775813)),
        one);
    const __m512i at2 =
        _mm512_and_si512(_mm512_xor_si512(keys.k2, _mm512_srli_epi32(keys.k1, 24)), low8);
    keys.k2 =
        _mm512_xor_si512(_mm512_srli_epi32(keys.k2, 8), _mm512_i32gather_epi32(at2, table, 4));
}

// Thirty-two entries' data encrypted in the lanes of the CPU's 512-bit registers, count bytes of
// each: the steps of the cipher are the same, the table look-ups are gathers, and two groups of
// sixteen run side by side so that one's gathers overlap the other's. The bytes are turned into
// columns (one byte of each entry) and back in pieces of 64.
__attribute__((target("avx512f"))) void encryptWide(std::array<quint32, kLanes>& k0,
                                                    std::array<quint32, kLanes>& k1,
                                                    std::array<quint32, kLanes>& k2,
                                                    const std::array<quint8*, kLanes>& data,
                                                    qint64 count) {
    constexpr int kPiece = 64;
    WideKeys first{_mm512_loadu_si512(k0.data()), _mm512_loadu_si512(k1.data()),
                   _mm512_loadu_si512(k2.data())};
    WideKeys second{_mm512_loadu_si512(k0.data() + 16), _mm512_loadu_si512(k1.data() + 16),
                    _mm512_loadu_si512(k2.data() + 16)};
    alignas(64) std::array<std::array<quint8, kLanes>, kPiece> columns{};
    for (qint64 at = 0; at < count; at += kPiece) {
        const int length = static_cast<int>(std::min<qint64>(kPiece, count - at));
        for (size_t j = 0; j < kLanes; ++j) {
            const quint8* from = data[j] + at;
            for (int b = 0; b < length; ++b) {
                columns[static_cast<size_t>(b)][j] = from[b];
            }
        }
        for (int b = 0; b < length; ++b) {
            quint8* column = columns[static_cast<size_t>(b)].data();
            wideStep(first, column);
            wideStep(second, column + 16);
        }
        for (size_t j = 0; j < kLanes; ++j) {
            quint8* to = data[j] + at;
            for (int b = 0; b < length; ++b) {
                to[b] = columns[static_cast<size_t>(b)][j];
            }
        }
    }
    _mm512_storeu_si512(k0.data(), first.k0);
    _mm512_storeu_si512(k1.data(), first.k1);
    _mm512_storeu_si512(k2.data(), first.k2);
    _mm512_storeu_si512(k0.data() + 16, second.k0);
    _mm512_storeu_si512(k1.data() + 16, second.k1);
    _mm512_storeu_si512(k2.data() + 16, second.k2);
}
#pragma GCC diagnostic pop

std::atomic<bool> g_wideAllowed{true};

bool hasWideLanes() {
    static const bool has = __builtin_cpu_supports("avx512f") != 0;
    return has && g_wideAllowed;
}

// Encrypts several entries' data at once. Each byte's step waits for the one before, so a core
// encrypting one entry mostly waits; with a few independent entries interleaved it runs them in
// nearly the time of one.
class SideBySide {
public:
    void add(const QByteArray& password, QByteArray& data) {
        _streams.push_back({PkwareKeys(password), reinterpret_cast<quint8*>(data.data()),
                            static_cast<qint64>(data.size())});
    }
    void run() {
        std::vector<Stream*> open;
        for (Stream& stream : _streams) {
            if (stream.left > 0) {
                open.push_back(&stream);
            }
        }
        while (!open.empty()) {
            if (open.size() > 4 && hasWideLanes()) {
                wide(open);
            } else {
                fewer(open);
            }
            open.erase(std::remove_if(open.begin(), open.end(),
                                      [](const Stream* stream) { return stream->left == 0; }),
                       open.end());
        }
    }

private:
    struct Stream {
        PkwareKeys keys;
        quint8* data;
        qint64 left;
    };
    // Up to kLanes streams, as far as the shortest goes; lanes without one work on scratch.
    void wide(std::vector<Stream*>& open) {
        const size_t count = std::min(open.size(), kLanes);
        qint64 step = open[0]->left;
        for (size_t j = 1; j < count; ++j) {
            step = std::min(step, open[j]->left);
        }
        if (static_cast<qint64>(_scratch.size()) < step) {
            _scratch.resize(static_cast<size_t>(step));
        }
        std::array<quint32, kLanes> k0{};
        std::array<quint32, kLanes> k1{};
        std::array<quint32, kLanes> k2{};
        std::array<quint8*, kLanes> data{};
        for (size_t j = 0; j < kLanes; ++j) {
            const PkwareKeys& keys = j < count ? open[j]->keys : PkwareKeys(QByteArray());
            k0[j] = keys._k0;
            k1[j] = keys._k1;
            k2[j] = keys._k2;
            data[j] = j < count ? open[j]->data : _scratch.data();
        }
        encryptWide(k0, k1, k2, data, step);
        for (size_t j = 0; j < count; ++j) {
            open[j]->keys._k0 = k0[j];
            open[j]->keys._k1 = k1[j];
            open[j]->keys._k2 = k2[j];
            open[j]->data += step;
            open[j]->left -= step;
        }
    }
    void fewer(std::vector<Stream*>& open) {
        {
            const size_t count = std::min<size_t>(open.size(), 4);
            qint64 step = open[0]->left;
            for (size_t j = 1; j < count; ++j) {
                step = std::min(step, open[j]->left);
            }
            switch (count) {
            case 1:
                together<1>(open.data(), step);
                break;
            case 2:
                together<2>(open.data(), step);
                break;
            case 3:
                together<3>(open.data(), step);
                break;
            default:
                together<4>(open.data(), step);
                break;
            }
        }
    }
    template <size_t N>
    static void together(Stream** streams, qint64 count) {
        std::array<quint32, N> k0{};
        std::array<quint32, N> k1{};
        std::array<quint32, N> k2{};
        std::array<quint8*, N> data{};
        for (size_t j = 0; j < N; ++j) {
            k0[j] = streams[j]->keys._k0;
            k1[j] = streams[j]->keys._k1;
            k2[j] = streams[j]->keys._k2;
            data[j] = streams[j]->data;
        }
        for (qint64 i = 0; i < count; ++i) {
            for (size_t j = 0; j < N; ++j) {
                const quint32 t = (k2[j] | 2U) & 0xFFFFU;
                const quint8 plain = data[j][i];
                data[j][i] = static_cast<quint8>(plain ^ static_cast<quint8>((t * (t ^ 1U)) >> 8));
                k0[j] = (k0[j] >> 8) ^ kCrcTable[(k0[j] ^ plain) & 0xFFU];
                k1[j] = (k1[j] + (k0[j] & 0xFFU)) * 134775813U + 1U;
                k2[j] = (k2[j] >> 8) ^ kCrcTable[(k2[j] ^ (k1[j] >> 24)) & 0xFFU];
            }
        }
        for (size_t j = 0; j < N; ++j) {
            streams[j]->keys._k0 = k0[j];
            streams[j]->keys._k1 = k1[j];
            streams[j]->keys._k2 = k2[j];
            streams[j]->data += count;
            streams[j]->left -= count;
        }
    }
    std::vector<Stream> _streams;
    std::vector<quint8> _scratch;
};

void put16(QByteArray& out, quint32 value) {
    out.append(static_cast<char>(value & 0xFFU));
    out.append(static_cast<char>((value >> 8) & 0xFFU));
}
void put32(QByteArray& out, quint32 value) {
    put16(out, value & 0xFFFFU);
    put16(out, value >> 16);
}
void put64(QByteArray& out, quint64 value) {
    put32(out, static_cast<quint32>(value & kMax32));
    put32(out, static_cast<quint32>(value >> 32));
}
quint32 get16(const QByteArray& in, qsizetype at) {
    return static_cast<quint8>(in[at]) |
           (static_cast<quint32>(static_cast<quint8>(in[at + 1])) << 8);
}
quint32 get32(const QByteArray& in, qsizetype at) {
    return get16(in, at) | (get16(in, at + 2) << 16);
}
quint32 clamp32(quint64 value, bool overflows) {
    return overflows ? kMax32 : static_cast<quint32>(value);
}

// MS-DOS date and time (local time, two-second steps), as the zip headers keep them.
struct DosTime {
    quint16 time = 0;
    quint16 date = (1 << 5) | 1; // 1980-01-01
};
DosTime dosTime(time_t seconds) {
    struct tm local {};
    DosTime out;
    if (localtime_r(&seconds, &local) == nullptr || local.tm_year < 80) {
        return out;
    }
    out.time =
        static_cast<quint16>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    out.date = static_cast<quint16>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) |
                                    local.tm_mday);
    return out;
}

// Opens an order file for reading; only a regular file is packed.
bool openSource(QFile& in, const QString& path, struct stat& info, QString& error) {
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || ::fstat(in.handle(), &info) != 0 ||
        !S_ISREG(info.st_mode)) {
        error = QStringLiteral("ファイルを読み込めません: %1 (%2)").arg(path, in.errorString());
        return false;
    }
    return true;
}

QByteArray sizesField(quint32 crc, quint64 compSize, quint64 size, bool zip64) {
    QByteArray sizes;
    put32(sizes, crc);
    put32(sizes, zip64 ? kMax32 : static_cast<quint32>(compSize));
    put32(sizes, zip64 ? kMax32 : static_cast<quint32>(size));
    return sizes;
}

QByteArray zip64SizesField(quint64 compSize, quint64 size) {
    QByteArray large;
    put64(large, size);
    put64(large, compSize);
    return large;
}

struct Deflater {
    z_stream stream{};
    bool ready = false;
    Deflater() {
        ready = deflateInit2(&stream, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, 8,
                             Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater() {
        if (ready) {
            deflateEnd(&stream);
        }
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
};

} // namespace

// The archive's new bytes go straight to the disk (O_DIRECT), written by a thread of their own
// in aligned pieces: a gigabyte archive copied into the page cache cost the packing as much CPU
// time as its encryption, and its closing fsync waited for all of it. Where the file system
// refuses direct writes, they go through the page cache as before.
class ZipPacker::DirectOut {
public:
    // start: where the first appended byte goes; the bytes of its block before it are read back
    // from fd, as direct writes cover whole blocks.
    DirectOut(const QString& path, int fd, quint64 start) : _fd(fd) {
        _direct = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_DIRECT | O_CLOEXEC);
        _start = start - start % kAlign;
        _staging = takeBuffer();
        const auto head = static_cast<ssize_t>(start - _start);
        if (_direct < 0 || !_staging ||
            (head > 0 && ::pread(fd, _staging.get(), static_cast<size_t>(head),
                                 static_cast<off_t>(_start)) != head)) {
            return;
        }
        _staged = head;
        _usable = true;
        _writer = std::thread([this] { work(); });
    }
    ~DirectOut() {
        {
            const std::lock_guard lock(_mutex);
            _stop = true;
        }
        _changed.notify_all();
        if (_writer.joinable()) {
            _writer.join();
        }
        if (_direct >= 0) {
            ::close(_direct);
        }
    }
    DirectOut(const DirectOut&) = delete;
    DirectOut& operator=(const DirectOut&) = delete;

    bool usable() const { return _usable; }
    int error() const { return _error; }

    // Appends the bytes that follow the ones appended before.
    bool append(const char* data, qsizetype size) {
        while (size > 0) {
            const qsizetype n = std::min(size, kChunk - _staged);
            std::memcpy(_staging.get() + _staged, data, static_cast<size_t>(n));
            _staged += n;
            data += n;
            size -= n;
            if (_staged == kChunk && !submit(kChunk)) {
                return false;
            }
        }
        return !failed();
    }

    // Every appended byte is in the file when this returns true (the last block padded; the
    // caller truncates the file to its length at the end).
    bool settle() {
        if (_staged > 0) {
            const qsizetype padded = (_staged + kAlign - 1) / kAlign * kAlign;
            std::memset(_staging.get() + _staged, 0, static_cast<size_t>(padded - _staged));
            if (!submit(padded)) {
                return false;
            }
        }
        std::unique_lock lock(_mutex);
        _changed.wait(lock, [this] { return _queue.empty() && !_busy; });
        return _error == 0;
    }

    // After settle(): bytes at offset changed in the file are changed in the kept block too.
    void overlay(quint64 offset, const QByteArray& data) {
        const quint64 end = offset + static_cast<quint64>(data.size());
        const quint64 keptEnd = _start + static_cast<quint64>(_staged);
        for (quint64 at = std::max(offset, _start); at < std::min(end, keptEnd); ++at) {
            _staging.get()[at - _start] = data[static_cast<qsizetype>(at - offset)];
        }
    }

private:
    struct Free {
        void operator()(char* p) const { std::free(p); }
    };
    using Buffer = std::unique_ptr<char, Free>;
    struct Piece {
        Buffer data;
        qsizetype size;
        quint64 offset;
    };

    Buffer takeBuffer() {
        std::unique_lock lock(_mutex);
        _changed.wait(lock, [this] { return !_spare.empty() || _made < kBuffers || _stop; });
        if (!_spare.empty()) {
            Buffer buffer = std::move(_spare.back());
            _spare.pop_back();
            return buffer;
        }
        if (_made >= kBuffers) {
            return {};
        }
        ++_made;
        return Buffer(static_cast<char*>(std::aligned_alloc(kAlign, kChunk)));
    }

    bool failed() {
        const std::lock_guard lock(_mutex);
        return _error != 0;
    }

    // Hands the staged block over (size bytes of it, aligned); a partial last block stays staged.
    bool submit(qsizetype size) {
        Buffer next = takeBuffer();
        if (!next) {
            return false;
        }
        const qsizetype whole = _staged / kAlign * kAlign;
        const qsizetype rest = _staged - whole;
        std::memcpy(next.get(), _staging.get() + whole, static_cast<size_t>(rest));
        {
            const std::lock_guard lock(_mutex);
            _queue.push_back({std::move(_staging), size, _start});
        }
        _changed.notify_all();
        _staging = std::move(next);
        _start += static_cast<quint64>(whole);
        _staged = rest;
        return !failed();
    }

    void work() {
        for (;;) {
            Piece piece;
            {
                std::unique_lock lock(_mutex);
                _changed.wait(lock, [this] { return _stop || !_queue.empty(); });
                if (_stop) {
                    return;
                }
                piece = std::move(_queue.front());
                _queue.pop_front();
                _busy = true;
            }
            const int error = writeAll(piece);
            {
                const std::lock_guard lock(_mutex);
                if (error != 0 && _error == 0) {
                    _error = error;
                }
                _spare.push_back(std::move(piece.data));
                _busy = false;
            }
            _changed.notify_all();
        }
    }

    int writeAll(const Piece& piece) {
        qsizetype done = 0;
        while (done < piece.size) {
            const int fd = _buffered ? _fd : _direct;
            const ssize_t n =
                ::pwrite(fd, piece.data.get() + done, static_cast<size_t>(piece.size - done),
                         static_cast<off_t>(piece.offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno == EINVAL && !_buffered) {
                _buffered = true; // this file system takes no direct writes of this shape
                continue;
            }
            if (n <= 0) {
                return n < 0 ? errno : EIO;
            }
            done += n;
        }
        return 0;
    }

    static constexpr qsizetype kAlign = 4096;
    static constexpr qsizetype kChunk = 4 * 1024 * 1024;
    static constexpr int kBuffers = 3;

    const int _fd;
    int _direct = -1;
    bool _usable = false;
    bool _buffered = false; // used by the writer thread only
    Buffer _staging;
    qsizetype _staged = 0;
    quint64 _start = 0; // of the staged block in the file
    std::mutex _mutex;
    std::condition_variable _changed;
    std::deque<Piece> _queue;
    std::vector<Buffer> _spare;
    int _made = 0;
    bool _busy = false;
    bool _stop = false;
    int _error = 0;
    std::thread _writer;
};

// What one thread needs to turn files into entry data; each thread has its own.
struct ZipPacker::Coder {
    std::unique_ptr<Deflater> deflater;
    QByteArray readBlock = QByteArray(kBlockSize, Qt::Uninitialized);
    QByteArray deflated;
};

struct ZipPacker::CodedData {
    quint32 crc = 0;
    quint64 size = 0;     // of the file
    quint64 compSize = 0; // of the entry's data, the encryption header included
    bool text = false;
};

// A file announced by expect(), and what a worker made of it.
struct ZipPacker::Expected {
    QString path;
    QString entryName;
    Salt salt{};
    // Filled in by a worker; read by the packer's thread once done is set under Ahead's lock.
    bool done = false;
    bool opened = false; // opened as a regular file; info holds its stat
    bool held = false;   // data and coded are complete
    QString error;       // why it cannot be packed
    struct stat info {};
    QByteArray data; // the entry's data as it goes into the archive
    CodedData coded;
};

// The worker threads and the announced files, in order. A worker takes the first files no one
// has taken while the prepared ones waiting for the writer stay within bounds.
struct ZipPacker::Ahead {
    const std::optional<QByteArray> password;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::shared_ptr<Expected>> queue; // announced and not yet added
    size_t taken = 0;                            // of the queue's front, by workers
    qint64 heldBytes = 0;                        // prepared data not yet written
    quint64 generation = 0;                      // counts the times the queue was dropped
    std::atomic<bool> stop{false};
    // Data buffers of entries written, kept for the next ones: a fresh buffer per file cost page
    // faults and unmapping on every file.
    std::vector<QByteArray> spare;
    std::vector<std::thread> workers;

    explicit Ahead(std::optional<QByteArray> key) : password(std::move(key)) {
        const unsigned count = std::clamp(std::thread::hardware_concurrency(), 1U, 4U);
        for (unsigned i = 0; i < count; ++i) {
            workers.emplace_back([this] { work(); });
        }
    }
    ~Ahead() {
        {
            const std::lock_guard lock(mutex);
            stop = true;
        }
        changed.notify_all();
        for (std::thread& worker : workers) {
            worker.join();
        }
    }
    Ahead(const Ahead&) = delete;
    Ahead& operator=(const Ahead&) = delete;

    void work() {
        Coder coder;
        std::vector<std::shared_ptr<Expected>> batch;
        for (;;) {
            batch.clear();
            SideBySide encryption;
            qint64 batchBytes = 0;
            quint64 takenIn = 0;
            std::unique_lock lock(mutex);
            changed.wait(lock, [this] { return stop || hasRoom(0); });
            if (stop) {
                return;
            }
            takenIn = generation;
            // Files are taken one by one while the batch stays small: a batch of large files
            // would keep the writer waiting for its first.
            do {
                const std::shared_ptr<Expected> entry = queue[taken++];
                batch.push_back(entry);
                lock.unlock();
                prepare(*entry, coder);
                if (entry->held && password) {
                    encryption.add(*password, entry->data);
                }
                batchBytes += entry->data.size();
                lock.lock();
            } while (!stop && takenIn == generation && batch.size() < kBatch &&
                     batchBytes < kBatchBytes && hasRoom(batchBytes));
            lock.unlock();
            encryption.run();
            lock.lock();
            for (const std::shared_ptr<Expected>& entry : batch) {
                entry->done = true;
                if (takenIn == generation) {
                    heldBytes += entry->data.size();
                }
            }
            lock.unlock();
            changed.notify_all();
        }
    }

    // Under the lock: another file may be taken, with pending bytes prepared but not counted yet.
    bool hasRoom(qint64 pending) const {
        return taken < queue.size() && taken < kAheadFiles && heldBytes + pending < kAheadBytes;
    }

    void prepare(Expected& entry, Coder& coder) {
        QFile in(entry.path);
        if (!openSource(in, entry.path, entry.info, entry.error)) {
            return;
        }
        entry.opened = true;
        if (entry.info.st_size > kPrepareLimit) {
            return; // read when it is added
        }
        const auto fileSize = static_cast<quint64>(entry.info.st_size);
        const bool deflate = fileSize > 0 && !isStoredName(entry.entryName);
        {
            const std::lock_guard lock(mutex);
            if (!spare.empty()) {
                entry.data = std::move(spare.back());
                spare.pop_back();
            }
        }
        entry.data.resize(0);
        entry.data.reserve(static_cast<qsizetype>(fileSize) + 64);
        // Coded unencrypted here, the encryption header in front: the batch is encrypted side
        // by side afterwards (the cipher runs over the same bytes in the same order).
        if (password) {
            entry.data.append(entry.salt.data(), static_cast<qsizetype>(entry.salt.size()));
            entry.data.append(static_cast<char>((dosTime(entry.info.st_mtime).time >> 8) & 0xFFU));
        }
        bool cancelled = false;
        entry.held = codeData(
            in, entry.path, fileSize, deflate, std::nullopt, entry.salt, 0, coder,
            [this] { return stop.load(); },
            [&entry](char* data, qint64 count) {
                entry.data.append(data, count);
                return true;
            },
            entry.coded, entry.error, cancelled);
        if (password) {
            entry.coded.compSize += 12;
        }
    }
};

ZipPacker::ZipPacker(QString archivePath, std::optional<QString> password)
    : _archivePath(std::move(archivePath)) {
    if (password) {
        _password = password->toUtf8();
    }
}

ZipPacker::~ZipPacker() = default;

void ZipPacker::setHeaderSeed(std::optional<quint32> seed) {
    if (seed) {
        g_seededSalt.emplace(*seed);
    } else {
        g_seededSalt.reset();
    }
}

void ZipPacker::setWideEncryption(bool allowed) {
    g_wideAllowed = allowed;
}

ZipPacker::Salt ZipPacker::drawSalt() {
    QRandomGenerator* random = g_seededSalt ? &*g_seededSalt : QRandomGenerator::global();
    Salt salt{};
    for (char& c : salt) {
        c = static_cast<char>(random->bounded(256));
    }
    return salt;
}

bool ZipPacker::createEmpty(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        return false;
    }
    // The end record alone: no entries, no directory, no comment.
    QByteArray end;
    put32(end, kEndSignature);
    end.append(18, '\0');
    return file.write(end) == end.size() && file.flush();
}

void ZipPacker::setZip64Limit(quint64 limit) {
    g_zip64Limit = limit;
}

quint64 ZipPacker::zip64Limit() {
    return g_zip64Limit;
}

const QStringList& ZipPacker::storedSuffixes() {
    // Photos, archives and videos are compressed already: deflating them costs four times the
    // time for a few per cent.
    static const QStringList list{
        QStringLiteral(".jpg"), QStringLiteral(".jpeg"), QStringLiteral(".png"),
        QStringLiteral(".gif"), QStringLiteral(".heic"), QStringLiteral(".zip"),
        QStringLiteral(".mov"), QStringLiteral(".mp4"),  QStringLiteral(".m4v"),
        QStringLiteral(".avi"), QStringLiteral(".mts"),  QStringLiteral(".mkv"),
        QStringLiteral(".mpg"), QStringLiteral(".mpeg"), QStringLiteral(".wmv")};
    return list;
}

bool ZipPacker::isStoredName(const QString& name) {
    const QStringList& suffixes = storedSuffixes();
    return std::any_of(suffixes.cbegin(), suffixes.cend(), [&name](const QString& suffix) {
        return name.endsWith(suffix, Qt::CaseInsensitive);
    });
}

QString ZipPacker::entryNameForPath(const QString& path) {
    QString name = QDir::cleanPath(path);
    while (name.startsWith(u'/')) {
        name.remove(0, 1);
    }
    while (name.startsWith(QStringLiteral("../"))) {
        name.remove(0, 3);
    }
    return name == QStringLiteral(".") ? QString() : name;
}

bool ZipPacker::isOpen() const {
    return _file != nullptr && !_finished;
}

bool ZipPacker::fail(const QString& text) {
    _errorText = text;
    return false;
}

bool ZipPacker::open() {
    if (!readDirectory()) {
        // Nothing was written; a packer that failed to open stays closed.
        _file.reset();
        _central.clear();
        _centralIndex.clear();
        return false;
    }
    return true;
}

bool ZipPacker::readDirectory() {
    _file = std::make_unique<QFile>(_archivePath);
    if (!_file->open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        const QString reason = _file->errorString();
        return fail(QStringLiteral("書庫を開けません: %1 (%2)").arg(_archivePath, reason));
    }
    // The end record is the last 22 bytes unless the archive carries a comment.
    const qint64 size = _file->size();
    const qint64 tail = std::min<qint64>(size, 22 + 0xFFFF);
    if (!_file->seek(size - tail)) {
        return fail(QStringLiteral("書庫が読めません: %1").arg(_archivePath));
    }
    const QByteArray end = _file->read(tail);
    qsizetype at = end.size() - 22;
    while (at >= 0 && get32(end, at) != kEndSignature) {
        --at;
    }
    if (at < 0 || end.size() != tail) {
        return fail(QStringLiteral("書庫の形式が正しくありません: %1").arg(_archivePath));
    }
    const quint32 count = get16(end, at + 10);
    const quint32 directorySize = get32(end, at + 12);
    const quint32 directoryOffset = get32(end, at + 16);
    // The archive given to us holds the order report: a small one, never a zip64 one.
    if (count == 0xFFFFU || directorySize == kMax32 || directoryOffset == kMax32 ||
        static_cast<qint64>(directoryOffset) + directorySize > size - tail + at) {
        return fail(QStringLiteral("書庫の形式が正しくありません: %1").arg(_archivePath));
    }
    if (!_file->seek(directoryOffset)) {
        return fail(QStringLiteral("書庫が読めません: %1").arg(_archivePath));
    }
    const QByteArray directory = _file->read(directorySize);
    qsizetype pos = 0;
    for (quint32 i = 0; i < count; ++i) {
        if (pos + 46 > directory.size() || get32(directory, pos) != kCentralSignature) {
            return fail(QStringLiteral("書庫の形式が正しくありません: %1").arg(_archivePath));
        }
        const qsizetype nameLength = get16(directory, pos + 28);
        const qsizetype length =
            46 + nameLength + get16(directory, pos + 30) + get16(directory, pos + 32);
        if (pos + length > directory.size()) {
            return fail(QStringLiteral("書庫の形式が正しくありません: %1").arg(_archivePath));
        }
        addCentral({directory.mid(pos + 46, nameLength), directory.mid(pos, length)});
        pos += length;
    }
    // New entries go where the old directory was; the new one is written after them.
    _bufferStart = directoryOffset;
    _writeBackFrom = directoryOffset;
    _buffer.reserve(kFlushSize + kBlockSize);
    _coder = std::make_unique<Coder>();
    // The entries already there (the order report) are part of what the hash covers.
    if (!hashFileRange(0, directoryOffset)) {
        return false;
    }
    auto direct = std::make_unique<DirectOut>(_archivePath, _file->handle(), directoryOffset);
    if (direct->usable()) {
        _direct = std::move(direct);
    }
    return true;
}

// Adds bytes already in the file to the hash, read back in blocks.
bool ZipPacker::hashFileRange(quint64 from, quint64 to) {
    if (!_file->seek(static_cast<qint64>(from))) {
        return fail(QStringLiteral("書庫が読めません: %1").arg(_archivePath));
    }
    QByteArray block(kBlockSize, Qt::Uninitialized);
    while (from < to) {
        const qint64 want = static_cast<qint64>(std::min<quint64>(to - from, kBlockSize));
        const qint64 got = _file->read(block.data(), want);
        if (got != want) {
            return fail(QStringLiteral("書庫が読めません: %1").arg(_archivePath));
        }
        _hash.addData(QByteArrayView(block.constData(), got));
        from += static_cast<quint64>(got);
    }
    _hashedUpTo = to;
    return true;
}

// The entry being added is complete (its header filled in) or abandoned: its bytes are final.
// Those that had to leave the buffer before are read back once.
bool ZipPacker::endEntry() {
    _entryStart.reset();
    if (_hashedUpTo < _bufferStart && !settle()) {
        _hashFailed = true;
        return false;
    }
    if (_hashedUpTo < _bufferStart && !hashFileRange(_hashedUpTo, _bufferStart)) {
        _hashFailed = true;
        return false;
    }
    return true;
}

bool ZipPacker::write(const char* data, qint64 size) {
    _buffer.append(data, size);
    if (_buffer.size() < kFlushSize) {
        return true;
    }
    // An entry whose header is still to be filled in stays in memory while it is not too large.
    if (_entryStart && *_entryStart >= _bufferStart && _buffer.size() < kHoldSize) {
        return true;
    }
    return flush();
}

bool ZipPacker::flush() {
    if (_buffer.isEmpty()) {
        return true;
    }
    if (_direct) {
        if (!_direct->append(_buffer.constData(), _buffer.size())) {
            return fail(
                QStringLiteral("書庫に書き込めません: %1 (%2)")
                    .arg(_archivePath, QString::fromLocal8Bit(std::strerror(_direct->error()))));
        }
    } else if (!_file->seek(static_cast<qint64>(_bufferStart)) ||
               _file->write(_buffer) != _buffer.size()) {
        return fail(QStringLiteral("書庫に書き込めません: %1 (%2)")
                        .arg(_archivePath, _file->errorString()));
    }
    // Hashed as it goes out, up to the entry whose header is not final yet.
    if (_hashedUpTo == _bufferStart) {
        const quint64 end = _bufferStart + static_cast<quint64>(_buffer.size());
        const quint64 finalEnd = _entryStart ? std::min(end, *_entryStart) : end;
        if (finalEnd > _bufferStart) {
            _hash.addData(QByteArrayView(_buffer.constData(),
                                         static_cast<qsizetype>(finalEnd - _bufferStart)));
            _hashedUpTo = finalEnd;
        }
    }
    _bufferStart += static_cast<quint64>(_buffer.size());
    _buffer.resize(0); // keeps the capacity
    if (!_direct && _bufferStart - _writeBackFrom >= kWriteBackStep) {
        // Only a hint to start writing; finish() still waits for every byte with fsync.
        ::sync_file_range(_file->handle(), static_cast<off64_t>(_writeBackFrom),
                          static_cast<off64_t>(_bufferStart - _writeBackFrom),
                          SYNC_FILE_RANGE_WRITE);
        _writeBackFrom = _bufferStart;
    }
    return true;
}

// Fills in a header written before its sizes were known: in the buffer while it is still
// there, else in the file.
bool ZipPacker::patch(quint64 offset, const QByteArray& data) {
    if (offset >= _bufferStart) {
        _buffer.replace(static_cast<qsizetype>(offset - _bufferStart), data.size(), data);
        return true;
    }
    if (!flush() || !settle()) {
        return false;
    }
    if (!_file->seek(static_cast<qint64>(offset)) || _file->write(data) != data.size()) {
        return fail(QStringLiteral("書庫に書き込めません: %1 (%2)")
                        .arg(_archivePath, _file->errorString()));
    }
    if (_direct) {
        _direct->overlay(offset, data);
    }
    return true;
}

bool ZipPacker::settle() {
    if (_direct && !_direct->settle()) {
        return fail(
            QStringLiteral("書庫に書き込めません: %1 (%2)")
                .arg(_archivePath, QString::fromLocal8Bit(std::strerror(_direct->error()))));
    }
    return true;
}

void ZipPacker::addCentral(CentralRecord record) {
    // zip -g replaces an entry of the same name where it stands.
    const auto found = _centralIndex.constFind(record.name);
    if (found != _centralIndex.cend()) {
        _central[static_cast<size_t>(*found)] = std::move(record);
        return;
    }
    _centralIndex.insert(record.name, static_cast<qsizetype>(_central.size()));
    _central.push_back(std::move(record));
}

void ZipPacker::expect(const QString& path, const QString& entryName) {
    if (!isOpen()) {
        return;
    }
    if (!_ahead) {
        _ahead = std::make_unique<Ahead>(_password);
    }
    auto entry = std::make_shared<Expected>();
    entry->path = path;
    entry->entryName = entryName;
    // Drawn in the order of the entries, as addFile() alone would draw them.
    if (_password) {
        entry->salt = drawSalt();
    }
    {
        const std::lock_guard lock(_ahead->mutex);
        _ahead->queue.push_back(std::move(entry));
    }
    _ahead->changed.notify_all();
}

std::shared_ptr<ZipPacker::Expected> ZipPacker::takeExpected(const QString& path,
                                                             const QString& entryName) {
    if (!_ahead) {
        return nullptr;
    }
    std::unique_lock lock(_ahead->mutex);
    if (_ahead->queue.empty()) {
        return nullptr;
    }
    std::shared_ptr<Expected> entry = _ahead->queue.front();
    if (entry->path != path || entry->entryName != entryName) {
        // The caller went another way: nothing prepared is used (a worker still busy with one
        // finishes it for no one).
        _ahead->queue.clear();
        _ahead->taken = 0;
        _ahead->heldBytes = 0;
        ++_ahead->generation;
        return nullptr;
    }
    _ahead->changed.wait(lock, [&entry] { return entry->done; });
    _ahead->queue.pop_front();
    --_ahead->taken;
    _ahead->heldBytes -= entry->data.size();
    lock.unlock();
    _ahead->changed.notify_all();
    return entry;
}

bool ZipPacker::addFile(const QString& path, const QString& entryName) {
    if (!isOpen()) {
        return fail(QStringLiteral("書庫が開かれていません: %1").arg(_archivePath));
    }
    const std::shared_ptr<Expected> prepared = takeExpected(path, entryName);
    _entryStart = _bufferStart + static_cast<quint64>(_buffer.size());
    const bool added = addEntry(path, entryName, prepared.get());
    if (prepared && prepared->held) {
        const std::lock_guard lock(_ahead->mutex);
        // Only buffers of ordinary photos are kept: one grown for a large file is let go.
        if (_ahead->spare.size() < kAheadFiles && prepared->data.capacity() <= kSpareCapacity) {
            _ahead->spare.push_back(std::move(prepared->data));
        }
    }
    if (!added) {
        // An archive with a failed entry is never finished: its hash no longer matters.
        _entryStart.reset();
        _hashFailed = true;
        return false;
    }
    return endEntry();
}

bool ZipPacker::codeData(QFile& in, const QString& path, quint64 fileSize, bool deflate,
                         const std::optional<QByteArray>& password, const Salt& salt,
                         quint16 checkTime, Coder& coder, const std::function<bool()>& isCancelled,
                         const std::function<bool(char*, qint64)>& sink, CodedData& out,
                         QString& error, bool& cancelled) {
    out = {};
    std::optional<PkwareKeys> keys;
    auto output = [&](char* data, qint64 count) {
        if (keys) {
            keys->encrypt(data, count);
        }
        out.compSize += static_cast<quint64>(count);
        return sink(data, count);
    };
    if (password) {
        keys.emplace(*password);
        // Eleven random bytes and a check byte; with a data descriptor the check byte is the
        // high byte of the file time.
        std::array<char, 12> header{};
        std::copy(salt.cbegin(), salt.cend(), header.begin());
        header[11] = static_cast<char>((checkTime >> 8) & 0xFFU);
        if (!output(header.data(), 12)) {
            return false;
        }
    }

    if (deflate && !coder.deflater) {
        coder.deflater = std::make_unique<Deflater>();
    }
    if (deflate && (!coder.deflater->ready || deflateReset(&coder.deflater->stream) != Z_OK)) {
        error = QStringLiteral("圧縮処理を始められません: %1").arg(path);
        return false;
    }

    QByteArray& block = coder.readBlock;
    uLong crc = crc32(0L, Z_NULL, 0);
    quint64 size = 0;
    bool atEnd = false;
    while (!atEnd) {
        if (isCancelled && isCancelled()) {
            cancelled = true;
            error = QStringLiteral("キャンセルされました");
            return false;
        }
        const qint64 got = in.read(block.data(), kBlockSize);
        if (got < 0) {
            error = QStringLiteral("ファイルを読み込めません: %1 (%2)").arg(path, in.errorString());
            return false;
        }
        atEnd = got == 0;
        crc = crc32(crc, reinterpret_cast<const Bytef*>(block.constData()), static_cast<uInt>(got));
        size += static_cast<quint64>(got);
        if (!deflate) {
            if (got > 0 && !output(block.data(), got)) {
                return false;
            }
            continue;
        }
        z_stream& z = coder.deflater->stream;
        z.next_in = reinterpret_cast<Bytef*>(block.data());
        z.avail_in = static_cast<uInt>(got);
        int status = Z_OK;
        do {
            coder.deflated.resize(kBlockSize);
            z.next_out = reinterpret_cast<Bytef*>(coder.deflated.data());
            z.avail_out = static_cast<uInt>(kBlockSize);
            status = ::deflate(&z, atEnd ? Z_FINISH : Z_NO_FLUSH);
            if (status == Z_STREAM_ERROR) {
                error = QStringLiteral("圧縮処理に失敗しました: %1").arg(path);
                return false;
            }
            const qint64 produced = kBlockSize - static_cast<qint64>(z.avail_out);
            if (produced > 0 && !output(coder.deflated.data(), produced)) {
                return false;
            }
        } while (z.avail_out == 0 || (atEnd && status != Z_STREAM_END));
    }
    if (size != fileSize) {
        // The file grew or shrank while it was read (still being written by another program):
        // the lab would get a cut photo whose checksum matches.
        error = QStringLiteral("読み込み中にファイルが変更されました: %1").arg(path);
        return false;
    }
    out.crc = static_cast<quint32>(crc);
    out.size = size;
    // Marked as text as zip marks it, for readers that convert line ends on request.
    out.text = deflate && coder.deflater->stream.data_type == Z_TEXT;
    return true;
}

bool ZipPacker::addEntry(const QString& path, const QString& entryName, const Expected* prepared) {
    // A file prepared ahead comes with its stat and data; one that was too large to hold is
    // read now, as one that was not announced.
    const bool held = prepared != nullptr && prepared->held;
    const bool readHere =
        prepared == nullptr || (prepared->opened && !prepared->held && prepared->error.isEmpty());
    QFile in(path);
    struct stat info {};
    if (readHere) {
        QString error;
        if (!openSource(in, path, info, error)) {
            return fail(error);
        }
    } else if (!prepared->opened) {
        return fail(prepared->error);
    } else {
        info = prepared->info;
    }
    // The report writes names composed ("ガ" as one character, however the file system keeps
    // it); the entry carries the same form, or the lab cannot pair the two.
    const QByteArray name = entryName.normalized(QString::NormalizationForm_C).toUtf8();
    const QByteArray given = entryName.toUtf8();
    if (const auto found = _givenNames.constFind(name);
        found != _givenNames.cend() && *found != given) {
        return fail(QStringLiteral("同じ名前の項目が2つあります: %1").arg(entryName));
    }
    _givenNames.insert(name, given);
    if (!readHere && !held) {
        return fail(prepared->error); // it could not be read whole
    }
    const quint64 fileSize = static_cast<quint64>(info.st_size);
    const bool deflate = fileSize > 0 && !isStoredName(entryName);
    const bool encrypted = _password.has_value();
    // Room for the encryption header and for deflate's worst case on incompressible data.
    const bool zip64 = fileSize + fileSize / 256 + 1024 >= g_zip64Limit;
    const DosTime stamp = dosTime(info.st_mtime);
    const quint16 flags = encrypted ? (kFlagEncrypted | kFlagDescriptor) : 0;
    const quint16 method = deflate ? kDeflated : kStored;
    const quint16 needed = zip64 ? 45 : (deflate ? 20 : 10);
    const quint64 headerOffset = _bufferStart + static_cast<quint64>(_buffer.size());
    const auto mtime = static_cast<quint32>(info.st_mtime);

    QByteArray local;
    put32(local, kLocalSignature);
    put16(local, needed);
    put16(local, flags);
    put16(local, method);
    put16(local, stamp.time);
    put16(local, stamp.date);
    put32(local, 0); // CRC and sizes are filled in afterwards
    put32(local, zip64 ? kMax32 : 0);
    put32(local, zip64 ? kMax32 : 0);
    put16(local, static_cast<quint32>(name.size()));
    put16(local, (zip64 ? 20 : 0) + 13 + 15);
    local += name;
    const qsizetype zip64Field = local.size();
    if (zip64) {
        put16(local, 0x0001);
        put16(local, 16);
        put64(local, 0);
        put64(local, 0);
    }
    put16(local, 0x5455); // modification and access time
    put16(local, 9);
    local.append(char(0x03));
    put32(local, mtime);
    put32(local, static_cast<quint32>(info.st_atime));
    QByteArray owner;
    put16(owner, 0x7875);
    put16(owner, 11);
    owner.append(char(0x01));
    owner.append(char(0x04));
    put32(owner, static_cast<quint32>(info.st_uid));
    owner.append(char(0x04));
    put32(owner, static_cast<quint32>(info.st_gid));
    local += owner;

    CodedData coded;
    if (held) {
        if (_isCancelled && _isCancelled()) {
            _cancelled = true;
            return fail(QStringLiteral("キャンセルされました"));
        }
        // Sizes known already: the header goes out complete, and its bytes need not wait in
        // memory to be hashed.
        _entryStart.reset();
        coded = prepared->coded;
        local.replace(14, 12, sizesField(coded.crc, coded.compSize, coded.size, zip64));
        if (zip64) {
            local.replace(zip64Field + 4, 16, zip64SizesField(coded.compSize, coded.size));
        }
        if (!write(local) || !write(prepared->data)) {
            return false;
        }
    } else {
        if (!write(local)) {
            return false;
        }
        const Salt salt = prepared != nullptr ? prepared->salt : (encrypted ? drawSalt() : Salt{});
        QString error;
        bool cancelled = false;
        if (!codeData(
                in, path, fileSize, deflate, _password, salt, stamp.time, *_coder, _isCancelled,
                [this](char* data, qint64 count) { return write(data, count); }, coded, error,
                cancelled)) {
            _cancelled = cancelled;
            return error.isEmpty() ? false : fail(error);
        }
    }
    const quint64 compSize = coded.compSize;
    const quint64 size = coded.size;
    const quint32 crcValue = coded.crc;
    const bool text = coded.text;
    if (encrypted) {
        QByteArray descriptor;
        put32(descriptor, kDescriptorSignature);
        put32(descriptor, crcValue);
        if (zip64) {
            put64(descriptor, compSize);
            put64(descriptor, size);
        } else {
            put32(descriptor, static_cast<quint32>(compSize));
            put32(descriptor, static_cast<quint32>(size));
        }
        if (!write(descriptor)) {
            return false;
        }
    }
    if (!held) {
        if (!patch(headerOffset + 14, sizesField(crcValue, compSize, size, zip64))) {
            return false;
        }
        if (zip64 && !patch(headerOffset + static_cast<quint64>(zip64Field) + 4,
                            zip64SizesField(compSize, size))) {
            return false;
        }
    }

    const bool bigSize = size >= g_zip64Limit;
    const bool bigComp = compSize >= g_zip64Limit;
    const bool bigOffset = headerOffset >= g_zip64Limit;
    QByteArray extra64;
    if (bigSize) {
        put64(extra64, size);
    }
    if (bigComp) {
        put64(extra64, compSize);
    }
    if (bigOffset) {
        put64(extra64, headerOffset);
    }
    QByteArray central;
    put32(central, kCentralSignature);
    put16(central, kMadeBy);
    put16(central, needed < 45 && !extra64.isEmpty() ? 45 : needed);
    put16(central, flags);
    put16(central, method);
    put16(central, stamp.time);
    put16(central, stamp.date);
    put32(central, crcValue);
    put32(central, clamp32(compSize, bigComp));
    put32(central, clamp32(size, bigSize));
    put16(central, static_cast<quint32>(name.size()));
    put16(central, (extra64.isEmpty() ? 0 : 4 + extra64.size()) + 9 + owner.size());
    put16(central, 0); // comment
    put16(central, 0); // disk
    put16(central, text ? 1 : 0);
    put32(central, static_cast<quint32>(info.st_mode) << 16);
    put32(central, clamp32(headerOffset, bigOffset));
    central += name;
    if (!extra64.isEmpty()) {
        put16(central, 0x0001);
        put16(central, static_cast<quint32>(extra64.size()));
        central += extra64;
    }
    put16(central, 0x5455);
    put16(central, 5);
    central.append(char(0x03));
    put32(central, mtime);
    central += owner;
    addCentral({name, central});
    return true;
}

bool ZipPacker::finish() {
    if (!isOpen()) {
        return fail(QStringLiteral("書庫が開かれていません: %1").arg(_archivePath));
    }
    _ahead.reset(); // nothing more comes
    const quint64 directoryOffset = _bufferStart + static_cast<quint64>(_buffer.size());
    for (const CentralRecord& entry : _central) {
        if (!write(entry.record)) {
            return false;
        }
    }
    const quint64 directoryEnd = _bufferStart + static_cast<quint64>(_buffer.size());
    const quint64 directorySize = directoryEnd - directoryOffset;
    const auto count = static_cast<quint64>(_central.size());
    const bool zip64 =
        count >= 0xFFFFU || directoryOffset >= g_zip64Limit || directorySize >= g_zip64Limit;
    QByteArray end;
    if (zip64) {
        put32(end, kEnd64Signature);
        put64(end, 44);
        put16(end, kMadeBy);
        put16(end, 45);
        put32(end, 0);
        put32(end, 0);
        put64(end, count);
        put64(end, count);
        put64(end, directorySize);
        put64(end, directoryOffset);
        put32(end, kLocator64Signature);
        put32(end, 0);
        put64(end, directoryEnd);
        put32(end, 1);
    }
    put32(end, kEndSignature);
    put16(end, 0);
    put16(end, 0);
    put16(end, zip64 ? 0xFFFFU : static_cast<quint32>(count));
    put16(end, zip64 ? 0xFFFFU : static_cast<quint32>(count));
    put32(end, clamp32(directorySize, zip64));
    put32(end, clamp32(directoryOffset, zip64));
    put16(end, 0);
    if (!write(end) || !flush() || !settle()) {
        return false;
    }
    const bool hashComplete = !_hashFailed && !_entryStart && _hashedUpTo == _bufferStart;
    // On the disk before it counts as finished: a power cut must not leave a short archive under
    // an order's name in the pool.
    if (!_file->resize(static_cast<qint64>(_bufferStart)) || !_file->flush() ||
        ::fsync(_file->handle()) != 0) {
        return fail(QStringLiteral("書庫に書き込めません: %1 (%2)")
                        .arg(_archivePath, _file->errorString()));
    }
    _direct.reset();
    _file->close();
    _finished = true;
    if (hashComplete) {
        _sha256 = _hash.hexResult();
    }
    return true;
}
