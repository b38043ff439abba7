#pragma once

#include "product/ProductRecord.h"

#include <QList>
#include <QString>
#include <chrono>
#include <optional>

// Reads a catalogue XML text (print, school, resize) into the elements directly under its root.
// Each element becomes a record: its child elements, the name in lower case to the text content
// (a later child with the same lower-case name overwrites an earlier one).
//
// Catalogue texts come from the network. A document that declares entities in a DTD is refused
// outright, so no entity expansion can grow without bound; a text that is not well-formed XML
// (truncated, empty, garbage) is refused as a whole rather than read in part. The reading is
// iterative, refuses elements nested deeper than kMaxDepth (the lab's tables are three deep) and
// gives up when it takes longer than its time budget, so no text can exhaust the stack or hold
// the start for long.
class ProductXmlReader {
public:
    struct Element {
        QString name;
        ProductRecord record;
    };

    enum class Refusal { None, NotWellFormed, Entities, TooDeep, TooSlow };

    struct Document {
        QList<Element> elements;
        // The text of the last "ver_no" child of the first "xml_ver" element under the root; none
        // when there is no such child.
        std::optional<QString> versionText;
    };

    struct Result {
        std::optional<Document> document; // none when refused
        Refusal refusal = Refusal::None;
    };

    static constexpr int kMaxDepth = 32;
    static constexpr std::chrono::milliseconds kTimeBudget{5000};

    ProductXmlReader() = delete;

    static Result read(const QString& xmlText, std::chrono::milliseconds budget = kTimeBudget);

    // The root's child elements in document order; none when the text is refused.
    static std::optional<QList<Element>> rootChildElements(const QString& xmlText);

    // Why a text was refused, as the log says it.
    static QString refusalText(Refusal refusal);
};
