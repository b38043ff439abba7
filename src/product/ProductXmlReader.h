#pragma once

#include "product/ProductRecord.h"

#include <QList>
#include <QString>
#include <optional>

// Reads a catalogue XML text (print, school, resize) into the elements directly under its root.
// Each element becomes a record: its child elements, the name in lower case to the text content
// (a later child with the same lower-case name overwrites an earlier one).
//
// Catalogue texts come from the network. A document that declares entities in a DTD is refused
// outright, so no entity expansion can grow without bound; a text that is not well-formed XML
// (truncated, empty, garbage) is refused as a whole rather than read in part.
class ProductXmlReader {
public:
    struct Element {
        QString name;
        ProductRecord record;
    };

    ProductXmlReader() = delete;

    // The root's child elements in document order; none when the text is refused.
    static std::optional<QList<Element>> rootChildElements(const QString& xmlText);
};
