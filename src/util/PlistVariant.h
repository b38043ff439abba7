#pragma once

#include <QByteArray>
#include <QVariant>
#include <optional>

// Property lists (XML or binary) as QVariant: strings QString, integers qint64, reals double,
// booleans bool, dates QDateTime, data QByteArray, arrays QVariantList, dictionaries QVariantMap.

// What a property list may grow to in memory once read. libplist copies an object of a binary
// list for every reference to it, so 139 bytes of shared references can ask for gigabytes, and a
// reference cycle never ends; such lists are refused before libplist sees them. The largest
// lists the program reads are its settings, where the cached catalogues (each at most 32 MB as
// fetched, a few of them) are most of the bytes and a few thousand values most of the nodes; the
// budget leaves room for all of them, and keeps the worst a list can ask for below a gigabyte.
inline constexpr qint64 kPlistMaxNodes = 1000000;             // values, keys included
inline constexpr qint64 kPlistMaxBytes = 256LL * 1024 * 1024; // text and data once expanded

struct PlistRead {
    std::optional<QVariant> value; // none when data is not a property list or is refused
    // Refused unread: it would expand past the budget (or, binary, refers to itself).
    bool overBudget = false;
};

// The value held by an XML or binary property list, within the budget.
PlistRead plistReadData(const QByteArray& data);
// The same without the reason: none when data is not a property list or is refused.
std::optional<QVariant> plistFromData(const QByteArray& data);

// The XML property list would be read back: within the budget that plistReadData applies (its
// bytes and its elements). A writer checks what it wrote before it replaces a readable file.
bool plistXmlWithinBudget(const QByteArray& xml);

// An XML property list (version 1.0) of value. Integer-like values (int, uint, qint64, ...) are
// written as integers, QStringList as an array of strings, QVariantHash as a dictionary.
QByteArray plistXmlFromVariant(const QVariant& value);
