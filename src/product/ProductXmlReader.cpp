#include "product/ProductXmlReader.h"

#include <QXmlStreamReader>

namespace {

// Entities are refused at the DTD already; the limit guards the predefined and character
// references of a huge single value as a second line.
constexpr int kEntityExpansionLimit = 4096;
// The clock is read once per this many tokens.
constexpr int kTokensPerClockRead = 256;

bool declaresEntities(const QXmlStreamReader& reader) {
    // The text test also catches parameter entities, which are not listed as declarations.
    return !reader.entityDeclarations().isEmpty() ||
           reader.text().contains(QLatin1String("<!ENTITY"));
}

} // namespace

ProductXmlReader::Result ProductXmlReader::read(const QString& xmlText,
                                                std::chrono::milliseconds budget) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + budget;
    auto refused = [](Refusal why) { return Result{std::nullopt, why}; };

    QXmlStreamReader reader(xmlText);
    reader.setEntityExpansionLimit(kEntityExpansionLimit);
    reader.setNamespaceProcessing(false);

    Document document;
    // Depth 1 is the root, 2 a record, 3 a column, deeper the elements inside a column, whose
    // text belongs to the column.
    int depth = 0;
    Element current;
    QString column;     // lower-case name of the open column
    QString columnName; // its name as written
    QString columnText; // its whole text content so far
    bool inFirstVersion = false;
    bool firstVersionSeen = false;
    int tokens = 0;

    while (!reader.atEnd()) {
        if (tokens++ % kTokensPerClockRead == 0 && Clock::now() >= deadline) {
            return refused(Refusal::TooSlow);
        }
        const QXmlStreamReader::TokenType token = reader.readNext();
        switch (token) {
        case QXmlStreamReader::DTD:
            if (declaresEntities(reader)) {
                return refused(Refusal::Entities);
            }
            break;
        case QXmlStreamReader::EntityReference:
            // An entity that no declaration resolves: the document cannot be read as written.
            return refused(Refusal::Entities);
        case QXmlStreamReader::StartElement:
            ++depth;
            if (depth > kMaxDepth) {
                return refused(Refusal::TooDeep);
            }
            if (depth == 2) {
                current = Element{reader.name().toString(), ProductRecord()};
                inFirstVersion = !firstVersionSeen && current.name == QLatin1String("xml_ver");
                firstVersionSeen = firstVersionSeen || inFirstVersion;
            } else if (depth == 3) {
                columnName = reader.name().toString();
                column = columnName.toLower();
                columnText.clear();
            }
            break;
        case QXmlStreamReader::Characters:
            if (depth >= 3) {
                columnText += reader.text();
            }
            break;
        case QXmlStreamReader::EndElement:
            if (depth == 3) {
                current.record.insert(column, columnText);
                if (inFirstVersion && columnName == QLatin1String("ver_no")) {
                    document.versionText = columnText;
                }
            } else if (depth == 2) {
                document.elements.append(current);
                current = Element();
                inFirstVersion = false;
            }
            --depth;
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        return refused(Refusal::NotWellFormed);
    }
    return Result{std::move(document), Refusal::None};
}

std::optional<QList<ProductXmlReader::Element>>
ProductXmlReader::rootChildElements(const QString& xmlText) {
    Result result = read(xmlText);
    if (!result.document) {
        return std::nullopt;
    }
    return std::move(result.document->elements);
}

QString ProductXmlReader::refusalText(Refusal refusal) {
    switch (refusal) {
    case Refusal::None:
        return QString();
    case Refusal::NotWellFormed:
        return QStringLiteral("XMLとして読めないデータ");
    case Refusal::Entities:
        return QStringLiteral("実体宣言または未定義の実体参照を含むデータ");
    case Refusal::TooDeep:
        return QStringLiteral("要素の入れ子が%1段を超えるデータ").arg(kMaxDepth);
    case Refusal::TooSlow:
        return QStringLiteral("解析が%1秒以内に終わらないデータ")
            .arg(std::chrono::duration_cast<std::chrono::seconds>(kTimeBudget).count());
    }
    return QString();
}
