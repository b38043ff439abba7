#pragma once

#include <QByteArray>
#include <QList>

// Small binary property lists ("bplist00") built byte by byte, for the reader's budget: lists
// whose shared references expand far beyond their size, and lists that hold themselves.
namespace plistbomb {

struct Object {
    enum class Kind { Ascii, Array, Dict };
    Kind kind = Kind::Ascii;
    QByteArray text; // Ascii
    QList<int> refs; // Array: items; Dict: keys, then as many values
};

// The objects in order, object 0 the root, one-byte references.
QByteArray binaryPlist(const QList<Object>& objects);

// A dictionary {key: A0} where each array A(i) holds fanout references to A(i+1) and the last
// level holds one string: about fanout^levels strings once expanded.
QByteArray sharedReferences(const QByteArray& key, int levels, int fanout);

// A dictionary {key: A} where the array A holds an array that holds A again.
QByteArray cycle(const QByteArray& key);

} // namespace plistbomb
