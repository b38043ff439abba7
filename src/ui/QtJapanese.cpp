#include "ui/QtJapanese.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstring>
#include <memory>

namespace {

// The few texts of Qt's file chooser that Qt's own Japanese catalogue leaves in English (the type
// column of folders and of files without a known kind).
class ChooserTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                      int /*n*/) const override {
        if (context == nullptr || sourceText == nullptr ||
            std::strcmp(context, "QAbstractFileIconProvider") != 0) {
            return {};
        }
        static const struct {
            const char* source;
            const char* japanese;
        } texts[] = {{"Folder", "フォルダ"},
                     {"Drive", "ドライブ"},
                     {"File", "ファイル"},
                     {"%1 File", "%1 ファイル"},
                     {"Unknown", "不明"}};
        for (const auto& text : texts) {
            if (std::strcmp(sourceText, text.source) == 0) {
                return QString::fromUtf8(text.japanese);
            }
        }
        return {};
    }
};

// The application keeps a translator as long as the texts it translates are shown.
bool install(QCoreApplication& app, std::unique_ptr<QTranslator> translator) {
    if (!QCoreApplication::installTranslator(translator.get())) {
        return false;
    }
    translator.release()->setParent(&app);
    return true;
}

} // namespace

bool installQtJapanese(QCoreApplication& app) {
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);
    // Installed first, so Qt's catalogue (asked first) wins wherever it has the text.
    install(app, std::make_unique<ChooserTexts>());
    auto translator = std::make_unique<QTranslator>();
    return translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
           install(app, std::move(translator));
}
