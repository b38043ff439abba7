#pragma once

#include "util/Sha256.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QFile;

// Adds files to an existing zip archive in one pass, inside the program: each file is read once
// and written once, stored or deflated by its suffix, and encrypted with the traditional zip
// password when one is given; the central directory is written once, by finish(). So the time
// per file does not grow with the archive, and the password never appears in a process list.
//
// The archive looks as zip -g would leave it: entries in the order added, a name added twice
// replaces the earlier entry in its place, Unix attributes and timestamps, data descriptors on
// encrypted entries, zip64 fields only where sizes or offsets need them. An archive whose packing
// did not reach finish() is unusable; its owner deletes it.
class ZipPacker {
public:
    ZipPacker(QString archivePath, std::optional<QString> password);
    ~ZipPacker();
    ZipPacker(const ZipPacker&) = delete;
    ZipPacker& operator=(const ZipPacker&) = delete;

    // Writes an archive without entries at path (the start of an order's archive); false when
    // something is there already or it cannot be written.
    static bool createEmpty(const QString& path);
    // Reads the directory of the archive, which must exist (it holds the order report).
    bool open();
    bool isOpen() const;
    const QString& archivePath() const { return _archivePath; }
    // Adds the file under entryName ("/"-separated, relative), stored in its composed form (NFC),
    // as the order report writes names. Two different names that compose alike would replace one
    // another: the second is refused.
    bool addFile(const QString& path, const QString& entryName);
    // Announces the file the caller will add next (after those announced before), so that worker
    // threads read, check, compress and encrypt it while earlier entries are written; the bytes
    // of the archive are the same as without. addFile() takes that work when it is handed the
    // same path and name; handed another one, it drops every announced file and works alone.
    void expect(const QString& path, const QString& entryName);
    // Writes the central directory; the archive is complete after it.
    bool finish();
    // SHA-256 (lower-case hex) of the whole finished archive, taken from the bytes as they were
    // written, so the pool record needs no second read of a gigabyte archive; none before
    // finish() succeeded.
    const std::optional<QString>& sha256() const { return _sha256; }

    // Asked between blocks of a file; true abandons the packing.
    void setCancelCheck(std::function<bool()> isCancelled) {
        _isCancelled = std::move(isCancelled);
    }
    bool wasCancelled() const { return _cancelled; }
    // Why the last step failed, for the log.
    const QString& errorText() const { return _errorText; }
    qsizetype entryCount() const { return static_cast<qsizetype>(_central.size()); }

    // Suffixes of files that are compressed already and therefore stored (lower case, with the
    // period); compared without regard to case.
    static const QStringList& storedSuffixes();
    static bool isStoredName(const QString& name);
    // The name zip gives a path it is handed: without leading "/" and "./" parts.
    static QString entryNameForPath(const QString& path);
    // Sizes and offsets from this value on get zip64 fields; tests lower it to reach them.
    static void setZip64Limit(quint64 limit);
    static quint64 zip64Limit();
    // Tests fix the random bytes of the encryption headers to compare two archives byte for
    // byte; none (the program's case) draws them from the system's generator.
    static void setHeaderSeed(std::optional<quint32> seed);
    // Tests turn the AVX-512 encryption off to check the scalar one on a CPU that has it.
    static void setWideEncryption(bool allowed);

private:
    using Salt = std::array<char, 11>; // the random part of an encryption header
    struct CentralRecord {
        QByteArray name;
        QByteArray record; // the whole central directory record
    };
    bool readDirectory();
    struct Expected;
    struct Coder;
    struct Ahead;
    struct CodedData;
    bool addEntry(const QString& path, const QString& entryName, const Expected* prepared);
    std::shared_ptr<Expected> takeExpected(const QString& path, const QString& entryName);
    static Salt drawSalt();
    static bool codeData(QFile& in, const QString& path, quint64 fileSize, bool deflate,
                         const std::optional<QByteArray>& password, const Salt& salt,
                         quint16 checkTime, Coder& coder, const std::function<bool()>& isCancelled,
                         const std::function<bool(char*, qint64)>& sink, CodedData& out,
                         QString& error, bool& cancelled);
    bool fail(const QString& text);
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& data) { return write(data.constData(), data.size()); }
    bool flush();
    bool settle();
    bool patch(quint64 offset, const QByteArray& data);
    void addCentral(CentralRecord record);
    bool hashFileRange(quint64 from, quint64 to);
    bool endEntry();

    QString _archivePath;
    std::optional<QByteArray> _password;
    std::unique_ptr<QFile> _file;
    std::vector<CentralRecord> _central;
    QHash<QByteArray, qsizetype> _centralIndex; // entry name to its place in _central
    QHash<QByteArray, QByteArray> _givenNames;  // stored entry name to the name it was added as
    QByteArray _buffer;                         // bytes not yet written, starting at _bufferStart
    quint64 _bufferStart = 0;
    quint64 _writeBackFrom = 0; // bytes before it were handed to the disk already
    std::unique_ptr<Coder> _coder;
    class DirectOut;
    std::unique_ptr<DirectOut> _direct; // none: written through the page cache
    std::unique_ptr<Ahead> _ahead;
    std::function<bool()> _isCancelled;
    bool _cancelled = false;
    bool _finished = false;
    QString _errorText;
    // The archive's hash runs along the writes. A byte is hashed once it is final: bytes of the
    // entry being added wait for its header to be filled in (held in the buffer up to
    // kHoldSize; beyond that they are read back from the file when the entry is complete).
    orbel::Sha256 _hash;
    quint64 _hashedUpTo = 0;
    std::optional<quint64> _entryStart;
    bool _hashFailed = false;
    std::optional<QString> _sha256;
};
