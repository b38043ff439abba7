#include "PlistBombs.h"

namespace plistbomb {

namespace {

void putNumber(QByteArray& out, quint64 value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// A marker with its count: in the low nibble, or 0xF and an integer object after it.
void putMarker(QByteArray& out, int type, qsizetype count) {
    if (count < 15) {
        out.append(static_cast<char>((type << 4) | static_cast<int>(count)));
        return;
    }
    out.append(static_cast<char>((type << 4) | 0x0F));
    out.append(static_cast<char>(0x11)); // a two-byte integer
    putNumber(out, static_cast<quint64>(count), 2);
}

} // namespace

QByteArray binaryPlist(const QList<Object>& objects) {
    QByteArray out("bplist00");
    QList<quint64> offsets;
    for (const Object& object : objects) {
        offsets.append(static_cast<quint64>(out.size()));
        switch (object.kind) {
        case Object::Kind::Ascii:
            putMarker(out, 0x5, object.text.size());
            out.append(object.text);
            break;
        case Object::Kind::Array:
            putMarker(out, 0xA, object.refs.size());
            for (int ref : object.refs) {
                putNumber(out, static_cast<quint64>(ref), 1);
            }
            break;
        case Object::Kind::Dict:
            putMarker(out, 0xD, object.refs.size() / 2);
            for (int ref : object.refs) {
                putNumber(out, static_cast<quint64>(ref), 1);
            }
            break;
        }
    }
    const auto table = static_cast<quint64>(out.size());
    const int offsetSize = table > 0xFFFF ? 4 : (table > 0xFF ? 2 : 1);
    for (quint64 offset : offsets) {
        putNumber(out, offset, offsetSize);
    }
    out.append(QByteArray(6, '\0'));
    out.append(static_cast<char>(offsetSize));
    out.append(static_cast<char>(1)); // reference size
    putNumber(out, static_cast<quint64>(objects.size()), 8);
    putNumber(out, 0, 8); // root
    putNumber(out, table, 8);
    return out;
}

QByteArray sharedReferences(const QByteArray& key, int levels, int fanout) {
    // 0: the dictionary, 1: its key, 2 .. levels+1: the arrays, levels+2: the string.
    QList<Object> objects;
    objects.append({Object::Kind::Dict, {}, {1, 2}});
    objects.append({Object::Kind::Ascii, key, {}});
    for (int level = 0; level < levels; ++level) {
        objects.append({Object::Kind::Array, {}, QList<int>(fanout, level + 3)});
    }
    objects.append({Object::Kind::Ascii, QByteArray("x"), {}});
    return binaryPlist(objects);
}

QByteArray cycle(const QByteArray& key) {
    return binaryPlist({{Object::Kind::Dict, {}, {1, 2}},
                        {Object::Kind::Ascii, key, {}},
                        {Object::Kind::Array, {}, {3}},
                        {Object::Kind::Array, {}, {2}}});
}

} // namespace plistbomb
