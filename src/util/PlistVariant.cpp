#include "util/PlistVariant.h"

#include <QDateTime>
#include <QStringList>
#include <QVariantHash>
#include <QVariantList>
#include <QVariantMap>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <plist/plist.h>
#include <vector>

namespace {

struct PlistFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

struct MallocFree {
    void operator()(void* p) const { std::free(p); }
};
using CharPtr = std::unique_ptr<char, MallocFree>;

struct XmlFree {
    void operator()(char* p) const { plist_to_xml_free(p); }
};

// Property-list dates count from 2001-01-01 00:00:00 UTC.
constexpr qint64 kPlistEpochOffset = 978307200;

// Deeply nested input must not exhaust the stack.
constexpr int kMaxDepth = 512;

std::optional<QVariant> toVariant(plist_t node, int depth) {
    if (node == nullptr || depth > kMaxDepth) {
        return std::nullopt;
    }
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return QVariant(value != 0);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        // Negative integers are held as their two's complement.
        return QVariant(static_cast<qint64>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return QVariant(value);
    }
    case PLIST_STRING: {
        // The pointer form: the copying getter aborts the program on a string holding a NUL.
        uint64_t length = 0;
        const char* raw = plist_get_string_ptr(node, &length);
        if (raw == nullptr) {
            return QVariant(QString());
        }
        if (length > static_cast<uint64_t>(std::numeric_limits<int>::max()) ||
            std::memchr(raw, '\0', static_cast<size_t>(length)) != nullptr) {
            return std::nullopt;
        }
        return QVariant(QString::fromUtf8(raw, static_cast<qsizetype>(length)));
    }
    case PLIST_KEY: {
        char* raw = nullptr;
        plist_get_string_val(node, &raw);
        CharPtr text(raw);
        return QVariant(QString::fromUtf8(raw != nullptr ? raw : ""));
    }
    case PLIST_DATA: {
        char* raw = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &raw, &length);
        CharPtr data(raw);
        if (length > static_cast<uint64_t>(std::numeric_limits<int>::max())) {
            return std::nullopt;
        }
        return QVariant(QByteArray(raw != nullptr ? raw : "", static_cast<qsizetype>(length)));
    }
    case PLIST_DATE: {
        int32_t sec = 0;
        int32_t usec = 0;
        plist_get_date_val(node, &sec, &usec);
        const qint64 msecs = (static_cast<qint64>(sec) + kPlistEpochOffset) * 1000 + usec / 1000;
        return QVariant(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC));
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t size = plist_array_get_size(node);
        list.reserve(static_cast<qsizetype>(size));
        for (uint32_t i = 0; i < size; ++i) {
            auto item = toVariant(plist_array_get_item(node, i), depth + 1);
            if (!item) {
                return std::nullopt;
            }
            list.append(*item);
        }
        return QVariant(list);
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter rawIter = nullptr;
        plist_dict_new_iter(node, &rawIter);
        CharPtr iter(static_cast<char*>(rawIter));
        while (rawIter != nullptr) {
            char* rawKey = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, rawIter, &rawKey, &value);
            CharPtr key(rawKey);
            if (rawKey == nullptr || value == nullptr) {
                break;
            }
            auto item = toVariant(value, depth + 1);
            if (!item) {
                return std::nullopt;
            }
            map.insert(QString::fromUtf8(rawKey), *item);
        }
        return QVariant(map);
    }
    case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return QVariant(static_cast<qint64>(value));
    }
    default:
        return std::nullopt;
    }
}

enum class Measure { Fits, NotPlist, OverBudget };

// Walks a binary property list ("bplist00") the way libplist will expand it, without expanding
// it: each object's cost (values and bytes, its whole subtree) is computed once and added for
// every reference, so shared references multiply as they will in memory. Every read is checked
// against the file's bounds.
class BinaryPlistMeasure {
public:
    explicit BinaryPlistMeasure(const QByteArray& data)
        : _data(reinterpret_cast<const uchar*>(data.constData())),
          _size(static_cast<quint64>(data.size())) {}

    Measure run() {
        constexpr quint64 kHeader = 8;
        constexpr quint64 kTrailer = 32;
        if (_size < kHeader + kTrailer || std::memcmp(_data, "bplist00", kHeader) != 0) {
            return Measure::NotPlist;
        }
        const quint64 trailer = _size - kTrailer;
        _offsetSize = _data[trailer + 6];
        _refSize = _data[trailer + 7];
        const quint64 objects = number(trailer + 8, 8);
        const quint64 root = number(trailer + 16, 8);
        _table = number(trailer + 24, 8);
        _end = trailer;
        if (_offsetSize < 1 || _offsetSize > 8 || _refSize < 1 || _refSize > 8 || objects == 0 ||
            root >= objects || _table < kHeader || _table >= _end ||
            objects > (_end - _table) / _offsetSize) {
            return Measure::NotPlist;
        }
        // Every object is a value of its own: more than the budget cannot fit (and would make
        // this walk's own tables large).
        if (objects > static_cast<quint64>(kPlistMaxNodes) ||
            _size > static_cast<quint64>(kPlistMaxBytes)) {
            return Measure::OverBudget;
        }
        _objects = objects;
        _state.assign(static_cast<size_t>(objects), kUnseen);
        _cost.assign(static_cast<size_t>(objects), Cost{});
        Cost total;
        return visit(root, 0, total);
    }

private:
    struct Cost {
        qint64 nodes = 0;
        qint64 bytes = 0;
        int height = 0; // levels below the object, itself included
    };
    static constexpr quint8 kUnseen = 0;
    static constexpr quint8 kOpen = 1; // on the current path: reached again, it is a cycle
    static constexpr quint8 kDone = 2;

    // A big-endian number of width bytes at pos; the caller checked the bounds.
    quint64 number(quint64 pos, quint64 width) const {
        quint64 value = 0;
        for (quint64 i = 0; i < width; ++i) {
            value = (value << 8) | _data[pos + i];
        }
        return value;
    }

    bool fits(quint64 pos, quint64 count) const { return pos <= _end && count <= _end - pos; }

    // The length that follows a marker whose low nibble is 0xF, or the low nibble itself.
    bool length(quint64& pos, quint8 low, quint64& out) const {
        if (low != 0x0F) {
            out = low;
            return true;
        }
        if (!fits(pos, 1) || (_data[pos] >> 4) != 0x1) {
            return false;
        }
        const quint64 width = quint64(1) << (_data[pos] & 0x0F);
        ++pos;
        if (width > 8 || !fits(pos, width)) {
            return false;
        }
        out = number(pos, width);
        pos += width;
        return true;
    }

    Measure add(Cost& into, const Cost& part) const {
        into.nodes += part.nodes;
        into.bytes += part.bytes;
        into.height = std::max(into.height, part.height + 1);
        return into.nodes > kPlistMaxNodes || into.bytes > kPlistMaxBytes ? Measure::OverBudget
                                                                          : Measure::Fits;
    }

    Measure visit(quint64 index, int depth, Cost& out) {
        if (index >= _objects) {
            return Measure::NotPlist;
        }
        const auto slot = static_cast<size_t>(index);
        if (_state[slot] == kOpen) {
            return Measure::OverBudget; // an object that holds itself never ends
        }
        if (_state[slot] == kDone) {
            out = _cost[slot];
            return depth + out.height > kMaxDepth + 1 ? Measure::NotPlist : Measure::Fits;
        }
        if (depth > kMaxDepth) {
            return Measure::NotPlist; // deeper than the conversion goes
        }
        quint64 pos = number(_table + index * _offsetSize, _offsetSize);
        if (pos < 8 || pos >= _end) {
            return Measure::NotPlist;
        }
        const quint8 marker = _data[pos++];
        const quint8 type = marker >> 4;
        const quint8 low = marker & 0x0F;
        Cost cost{1, 0, 1};
        quint64 count = 0;
        quint64 refs = 0; // references that follow
        switch (type) {
        case 0x1: // integer
        case 0x2: // real
            if (low > 4 || !fits(pos, quint64(1) << low)) {
                return Measure::NotPlist;
            }
            break;
        case 0x3: // date
            if (!fits(pos, 8)) {
                return Measure::NotPlist;
            }
            break;
        case 0x4: // data
        case 0x5: // ASCII text
        case 0x6: // UTF-16 text: count units, up to three bytes each in UTF-8
            if (!length(pos, low, count) || count > _end ||
                !fits(pos, type == 0x6 ? count * 2 : count)) {
                return Measure::NotPlist;
            }
            cost.bytes = static_cast<qint64>(type == 0x6 ? count * 3 : count);
            break;
        case 0x8: // UID
            if (!fits(pos, quint64(low) + 1)) {
                return Measure::NotPlist;
            }
            break;
        case 0xA: // array
        case 0xC: // set
        case 0xD: // dictionary: keys, then values
            if (!length(pos, low, count) || count > _end) {
                return Measure::NotPlist;
            }
            refs = type == 0xD ? count * 2 : count;
            if (!fits(pos, refs * _refSize)) {
                return Measure::NotPlist;
            }
            break;
        default: // null, booleans, fill, and whatever libplist itself refuses: no payload
            break;
        }
        if (cost.bytes > kPlistMaxBytes) {
            return Measure::OverBudget;
        }
        _state[slot] = kOpen;
        for (quint64 i = 0; i < refs; ++i) {
            Cost child;
            const Measure m = visit(number(pos + i * _refSize, _refSize), depth + 1, child);
            if (m != Measure::Fits) {
                return m;
            }
            if (add(cost, child) != Measure::Fits) {
                return Measure::OverBudget;
            }
        }
        _state[slot] = kDone;
        _cost[slot] = cost;
        out = cost;
        return Measure::Fits;
    }

    const uchar* _data;
    quint64 _size;
    quint64 _end = 0;   // where the trailer starts: nothing is read past it
    quint64 _table = 0; // the offset table
    quint64 _offsetSize = 0;
    quint64 _refSize = 0;
    quint64 _objects = 0;
    std::vector<quint8> _state;
    std::vector<Cost> _cost;
};

// An XML property list has no shared references: its size and its element count bound what it
// expands to. Every value and key is one start tag; the DOCTYPE, comments and processing
// instructions are not counted, the root "<plist>" is.
Measure measureXml(const QByteArray& data) {
    if (data.size() > kPlistMaxBytes) {
        return Measure::OverBudget;
    }
    qint64 tags = 0;
    const char* p = data.constData();
    const char* const end = p + data.size();
    while ((p = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)))) !=
           nullptr) {
        ++p;
        if (p < end && *p != '/' && *p != '?' && *p != '!' && ++tags > kPlistMaxNodes + 1) {
            return Measure::OverBudget;
        }
    }
    return Measure::Fits;
}

PlistPtr fromVariant(const QVariant& value, int depth) {
    if (depth > kMaxDepth) {
        return PlistPtr(plist_new_string(""));
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        return PlistPtr(plist_new_bool(value.toBool() ? 1 : 0));
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return PlistPtr(plist_new_uint(static_cast<uint64_t>(value.toLongLong())));
    case QMetaType::ULongLong:
        return PlistPtr(plist_new_uint(value.toULongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
        return PlistPtr(plist_new_real(value.toDouble()));
    case QMetaType::QByteArray: {
        const QByteArray data = value.toByteArray();
        return PlistPtr(plist_new_data(data.constData(), static_cast<uint64_t>(data.size())));
    }
    case QMetaType::QDateTime:
    case QMetaType::QDate: {
        const qint64 msecs = value.toDateTime().toMSecsSinceEpoch() - kPlistEpochOffset * 1000;
        qint64 sec = msecs / 1000;
        qint64 msec = msecs % 1000;
        if (msec < 0) {
            msec += 1000;
            sec -= 1;
        }
        return PlistPtr(
            plist_new_date(static_cast<int32_t>(sec), static_cast<int32_t>(msec * 1000)));
    }
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        PlistPtr array(plist_new_array());
        const QVariantList list = value.toList();
        for (const QVariant& item : list) {
            plist_array_append_item(array.get(), fromVariant(item, depth + 1).release());
        }
        return array;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        PlistPtr dict(plist_new_dict());
        auto add = [&](const QString& key, const QVariant& item) {
            plist_dict_set_item(dict.get(), key.toUtf8().constData(),
                                fromVariant(item, depth + 1).release());
        };
        if (value.typeId() == QMetaType::QVariantHash) {
            const QVariantHash hash = value.toHash();
            for (auto it = hash.cbegin(); it != hash.cend(); ++it) {
                add(it.key(), it.value());
            }
        } else {
            const QVariantMap map = value.toMap();
            for (auto it = map.cbegin(); it != map.cend(); ++it) {
                add(it.key(), it.value());
            }
        }
        return dict;
    }
    default:
        // Anything else is kept as its text, so nothing silently vanishes from a file.
        return PlistPtr(plist_new_string(value.toString().toUtf8().constData()));
    }
}

} // namespace

PlistRead plistReadData(const QByteArray& data) {
    PlistRead read;
    if (data.isEmpty() || data.size() > std::numeric_limits<int32_t>::max()) {
        return read;
    }
    const bool binary = data.startsWith("bplist");
    // A NUL byte has no place in an XML property list, and libplist aborts the whole program on
    // a string that holds one: such a text is refused before libplist sees it.
    if (!binary && data.contains('\0')) {
        return read;
    }
    const Measure measure = binary ? BinaryPlistMeasure(data).run() : measureXml(data);
    if (measure != Measure::Fits) {
        read.overBudget = measure == Measure::OverBudget;
        return read;
    }
    plist_t raw = nullptr;
    plist_from_memory(data.constData(), static_cast<uint32_t>(data.size()), &raw);
    PlistPtr root(raw);
    if (!root) {
        return read;
    }
    read.value = toVariant(root.get(), 0);
    return read;
}

bool plistXmlWithinBudget(const QByteArray& xml) {
    return !xml.isEmpty() && xml.size() <= std::numeric_limits<int32_t>::max() &&
           measureXml(xml) == Measure::Fits;
}

std::optional<QVariant> plistFromData(const QByteArray& data) {
    return plistReadData(data).value;
}

QByteArray plistXmlFromVariant(const QVariant& value) {
    PlistPtr root = fromVariant(value, 0);
    char* raw = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &raw, &length);
    std::unique_ptr<char, XmlFree> xml(raw);
    if (raw == nullptr) {
        return {};
    }
    return QByteArray(raw, static_cast<qsizetype>(length));
}
