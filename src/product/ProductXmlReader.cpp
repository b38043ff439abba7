#include "product/ProductXmlReader.h"

#include <QXmlStreamReader>

namespace {

// Entities are refused at the DTD already; the limit guards the predefined and character
// references of a huge single value as a second line.
constexpr int kEntityExpansionLimit = 4096;

bool declaresEntities(const QXmlStreamReader& reader) {
    // The text test also catches parameter entities, which are not listed as declarations.
    return !reader.entityDeclarations().isEmpty() ||
           reader.text().contains(QLatin1String("<!ENTITY"));
}

} // namespace

std::optional<QList<ProductXmlReader::Element>>
ProductXmlReader::rootChildElements(const QString& xmlText) {
    QXmlStreamReader reader(xmlText);
    reader.setEntityExpansionLimit(kEntityExpansionLimit);
    reader.setNamespaceProcessing(false);

    QList<Element> elements;
    int depth = 0; // 1 inside the root, 2 inside a record
    Element current;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        switch (token) {
        case QXmlStreamReader::DTD:
            if (declaresEntities(reader)) {
                return std::nullopt;
            }
            break;
        case QXmlStreamReader::EntityReference:
            // An entity that no declaration resolves: the document cannot be read as written.
            return std::nullopt;
        case QXmlStreamReader::StartElement:
            if (depth == 0) {
                depth = 1;
            } else if (depth == 1) {
                current = Element{reader.name().toString(), ProductRecord()};
                depth = 2;
            } else {
                // A column: its whole text content, also from nested elements.
                const QString column = reader.name().toString().toLower();
                const QString value =
                    reader.readElementText(QXmlStreamReader::IncludeChildElements);
                if (reader.hasError()) {
                    return std::nullopt;
                }
                current.record.insert(column, value);
            }
            break;
        case QXmlStreamReader::EndElement:
            if (depth == 2) {
                elements.append(current);
                current = Element();
            }
            --depth;
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        return std::nullopt;
    }
    return elements;
}
