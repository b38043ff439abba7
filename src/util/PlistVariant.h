#pragma once

#include <QByteArray>
#include <QVariant>
#include <optional>

// Property lists (XML or binary) as QVariant: strings QString, integers qint64, reals double,
// booleans bool, dates QDateTime, data QByteArray, arrays QVariantList, dictionaries QVariantMap.

// The value held by an XML or binary property list; none when data is not one.
std::optional<QVariant> plistFromData(const QByteArray& data);

// An XML property list (version 1.0) of value. Integer-like values (int, uint, qint64, ...) are
// written as integers, QStringList as an array of strings, QVariantHash as a dictionary.
QByteArray plistXmlFromVariant(const QVariant& value);
