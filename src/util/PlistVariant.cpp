#include "util/PlistVariant.h"

#include <QDateTime>
#include <QStringList>
#include <QVariantHash>
#include <QVariantList>
#include <QVariantMap>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <plist/plist.h>

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

std::optional<QVariant> plistFromData(const QByteArray& data) {
    if (data.isEmpty() || data.size() > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    // A NUL byte has no place in an XML property list, and libplist aborts the whole program on
    // a string that holds one: such a text is refused before libplist sees it.
    const bool binary = data.startsWith("bplist");
    if (!binary && data.contains('\0')) {
        return std::nullopt;
    }
    plist_t raw = nullptr;
    plist_from_memory(data.constData(), static_cast<uint32_t>(data.size()), &raw);
    PlistPtr root(raw);
    if (!root) {
        return std::nullopt;
    }
    return toVariant(root.get(), 0);
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
