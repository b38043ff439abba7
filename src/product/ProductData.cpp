#include "product/ProductData.h"

#include "product/ProductAlbumData.h"
#include "product/ProductPrintData.h"
#include "product/ProductResizeData.h"
#include "product/ProductSchoolData.h"
#include "product/ProductXmlReader.h"
#include "service/LabEndpoints.h"
#include "service/LabHttp.h"
#include "service/UpdateInfo.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/StringUtil.h"
#include "util/Tool.h"
#include "util/VersionText.h"

#include <QFile>
#include <QRegularExpression>
#include <QVariantMap>
#include <QtDebug>
#include <optional>

namespace {

// How one XML catalogue is stored, shipped, announced and logged.
struct XmlCatalogue {
    QString settingsKey;
    QString resourceName;
    const char* macVerMarker;
    const char* verMarker;
    const char* urlMarker;
    QString downloadLogLine;
    QString developConsoleLine;
};

const XmlCatalogue& printCatalogue() {
    static const XmlCatalogue c{SettingsKey::PrintData,
                                QStringLiteral("tbl_print_new"),
                                LabEndpoints::kMarkerPrintXmlMacVer,
                                LabEndpoints::kMarkerPrintXmlVer,
                                LabEndpoints::kMarkerPrintXmlUrl,
                                QStringLiteral("ネットからプリントデータ入手"),
                                QStringLiteral("printXmlData TestDataLoad!!! --- DevelopMode")};
    return c;
}

const XmlCatalogue& schoolCatalogue() {
    static const XmlCatalogue c{SettingsKey::SchoolData,
                                QStringLiteral("tbl_school"),
                                LabEndpoints::kMarkerSchoolXmlMacVer,
                                LabEndpoints::kMarkerSchoolXmlVer,
                                LabEndpoints::kMarkerSchoolXmlUrl,
                                QStringLiteral("ネットからスクールデータ入手"),
                                QStringLiteral("schoolXmlData TestDataLoad!!! --- DevelopMode")};
    return c;
}

const XmlCatalogue& resizeCatalogue() {
    static const XmlCatalogue c{SettingsKey::ResizeData,
                                QStringLiteral("tbl_resize"),
                                LabEndpoints::kMarkerResizeXmlMacVer,
                                LabEndpoints::kMarkerResizeXmlVer,
                                LabEndpoints::kMarkerResizeXmlUrl,
                                QStringLiteral("ネットからリサイズデータ入手"),
                                QStringLiteral("resizeXmlData TestDataLoad!!! --- DevelopMode")};
    return c;
}

// Developer diagnostics that the lab's support reads on the terminal, not in the log.
void consoleLine(const QString& text) {
    qInfo().noquote() << text;
}

QString marker(const QString& updateInfo, const char* name) {
    return UpdateInfo::markerValue(updateInfo, QLatin1String(name));
}

// The leading integer of a text ("12", " 12abc"); 0 when there is none.
qint64 leadingInteger(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^\\s*[+-]?\\d+"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch()) {
        return 0;
    }
    bool ok = false;
    const qint64 value = m.captured(0).trimmed().toLongLong(&ok);
    return ok ? value : 0;
}

// A stored text counts only when it holds something: an empty value is as good as none.
std::optional<QString> storedText(const QString& key) {
    std::optional<QString> text = UserDef::stringForKey(key);
    if (text && text->isEmpty()) {
        return std::nullopt;
    }
    return text;
}

std::optional<QString> shippedXml(const QString& name) {
    const QString path = Tool::resourcePath(name, QStringLiteral("xml"));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll());
}

// The version of a catalogue that was read, or 0.
qint64 versionOf(const ProductXmlReader::Result& read) {
    return read.document && read.document->versionText ? leadingInteger(*read.document->versionText)
                                                       : 0;
}

// A downloaded XML catalogue replaces the stored one only when it reads into tables within the
// reader's limits and carries a version: an error page, a cut-off transfer or a hostile text
// would otherwise be stored and read again at every start.
bool isAcceptableXmlCatalogue(const QString& body) {
    const ProductXmlReader::Result read = ProductXmlReader::read(body);
    if (!read.document) {
        Log::outputLn(QStringLiteral("読み込んだデータが不正"));
        Log::outputLn(ProductXmlReader::refusalText(read.refusal));
        return false;
    }
    if (versionOf(read) <= 0) {
        Log::outputLn(QStringLiteral("読み込んだデータが不正"));
        return false;
    }
    return true;
}

QString xmlData(const QString& updateInfo, const XmlCatalogue& catalogue) {
    QString current;
    qint64 currentVer = 0;
    if (const std::optional<QString> stored = storedText(catalogue.settingsKey)) {
        const ProductXmlReader::Result read = ProductXmlReader::read(*stored);
        if (read.document) {
            current = *stored;
            currentVer = versionOf(read);
        } else {
            // Stored by an older version that took any answer: it is not used again.
            Log::outputLn(
                QStringLiteral("保存されている%1が不正なため同梱のデータを使用：%2")
                    .arg(catalogue.settingsKey, ProductXmlReader::refusalText(read.refusal)));
        }
    }
    if (current.isEmpty()) {
        current = shippedXml(catalogue.resourceName).value_or(QString());
        currentVer = ProductData::productXmlVer(current);
    }

    const QString macVer = marker(updateInfo, catalogue.macVerMarker);
    const QString url = marker(updateInfo, catalogue.urlMarker);
    if (ProductData::isAvailableXmlThisAppVersion(macVer)) {
        const qint64 newestVer = leadingInteger(marker(updateInfo, catalogue.verMarker));
        if (currentVer < newestVer) {
            const std::optional<QString> body = LabHttp::read(url);
            if (body) {
                Log::outputLn(catalogue.downloadLogLine);
                if (isAcceptableXmlCatalogue(*body)) {
                    current = *body;
                }
            }
        }
    }

    if (!current.isEmpty()) {
        UserDef::setObject(current, catalogue.settingsKey, true);
    }

    if (UserDef::isDevelopMode()) {
        const QString testUrl =
            orbel::replaceOfString(url, QLatin1String(LabEndpoints::kXmlDevelopFind),
                                   QLatin1String(LabEndpoints::kXmlDevelopReplace));
        const std::optional<QString> body = LabHttp::read(testUrl);
        if (body && body->size() > 100) {
            consoleLine(catalogue.developConsoleLine);
            return *body;
        }
    }
    return current;
}

QString standardStoredText(const QString& key) {
    return UserDef::stringForKey(key).value_or(QString());
}

} // namespace

ProductData::ProductData(const QString& updateInfo) {
    UserDef::setAppStatus(QStringLiteral("ProductData init"));
    albumData_ = std::make_shared<ProductAlbumData>(albumStrData(updateInfo));
    UserDef::setAppStatus(QStringLiteral("ProductData init2"));
    printData_ = std::make_shared<ProductPrintData>(printXmlData(updateInfo));
    UserDef::setAppStatus(QStringLiteral("ProductData init3"));
    schoolData_ = std::make_shared<ProductSchoolData>(schoolXmlData(updateInfo));
    UserDef::setAppStatus(QStringLiteral("ProductData init3"));
    resizeData_ = std::make_shared<ProductResizeData>(resizeXmlData(updateInfo));
    UserDef::setAppStatus(QStringLiteral("ProductData init end"));
}

ProductData::ProductData(const Texts& texts) {
    UserDef::setAppStatus(QStringLiteral("ProductData init"));
    albumData_ = std::make_shared<ProductAlbumData>(texts.album);
    UserDef::setAppStatus(QStringLiteral("ProductData init2"));
    printData_ = std::make_shared<ProductPrintData>(texts.print);
    UserDef::setAppStatus(QStringLiteral("ProductData init3"));
    schoolData_ = std::make_shared<ProductSchoolData>(texts.school);
    UserDef::setAppStatus(QStringLiteral("ProductData init3"));
    resizeData_ = std::make_shared<ProductResizeData>(texts.resize);
    UserDef::setAppStatus(QStringLiteral("ProductData init end"));
}

ProductData::~ProductData() = default;

ProductData::Texts ProductData::textsForUpdateInfo(const QString& updateInfo) {
    Texts texts;
    texts.album = albumStrData(updateInfo);
    texts.print = printXmlData(updateInfo);
    texts.school = schoolXmlData(updateInfo);
    texts.resize = resizeXmlData(updateInfo);
    return texts;
}

ProductData::Texts ProductData::keptTexts() {
    Texts texts;
    // The album copy in use is the stored one unless it is missing, undated or older than the
    // shipped one (the same rule as the check, which then also stores the shipped copy).
    const QString shippedStamp = orbel::deleteLineFeedCode(
        Tool::readResourceTextFile(QStringLiteral("AlbumDateTime")).value_or(QString()));
    const QString storedStamp = orbel::deleteLineFeedCode(
        UserDef::stringForKey(SettingsKey::AlbumDataDateTime).value_or(QString()));
    const std::optional<QString> storedAlbum = storedText(SettingsKey::AlbumData);
    const std::optional<QString> shippedAlbum =
        Tool::readResourceTextFile(QStringLiteral("AlbumData"));
    const bool storedUnusable = !orbel::isDateTimeStr(storedStamp) || !storedAlbum ||
                                orbel::isOverCheckWithDateTimeStr(storedStamp, shippedStamp);
    texts.album = storedUnusable && shippedAlbum && !shippedAlbum->isEmpty()
                      ? *shippedAlbum
                      : storedAlbum.value_or(QString());
    const auto keptXml = [](const XmlCatalogue& catalogue) {
        if (const std::optional<QString> stored = storedText(catalogue.settingsKey);
            stored && ProductXmlReader::read(*stored).document) {
            return *stored;
        }
        return shippedXml(catalogue.resourceName).value_or(QString());
    };
    texts.print = keptXml(printCatalogue());
    texts.school = keptXml(schoolCatalogue());
    texts.resize = keptXml(resizeCatalogue());
    return texts;
}

ProductData::Replaced ProductData::replaceStandardTexts(const Texts& texts) {
    Replaced replaced;
    if (!customDataFlg_) {
        if (orbel::convertLineFeedCodeToLF(texts.album) != albumData_->productCsvs()) {
            albumData_ = std::make_shared<ProductAlbumData>(texts.album);
            replaced.album = true;
        }
        if (texts.print != printData_->xmlData()) {
            printData_ = std::make_shared<ProductPrintData>(texts.print);
            replaced.print = true;
        }
        if (texts.school != schoolData_->xmlData()) {
            schoolData_ = std::make_shared<ProductSchoolData>(texts.school);
            replaced.school = true;
        }
    }
    if (texts.resize != resizeData_->xmlData()) {
        resizeData_ = std::make_shared<ProductResizeData>(texts.resize);
        replaced.resize = true;
    }
    return replaced;
}

QString ProductData::albumStrData(const QString& updateInfo) {
    Log::outputLn(QStringLiteral("アルバム商品データの更新確認"));

    const QString newestStamp = marker(updateInfo, LabEndpoints::kMarkerAlbumTs);
    const QString shippedStamp = orbel::deleteLineFeedCode(
        Tool::readResourceTextFile(QStringLiteral("AlbumDateTime")).value_or(QString()));
    const std::optional<QString> shippedText =
        Tool::readResourceTextFile(QStringLiteral("AlbumData"));
    QString currentStamp = orbel::deleteLineFeedCode(
        UserDef::stringForKey(SettingsKey::AlbumDataDateTime).value_or(QString()));
    std::optional<QString> current = storedText(SettingsKey::AlbumData);

    const bool storedUnusable = !orbel::isDateTimeStr(currentStamp) || !current ||
                                orbel::isOverCheckWithDateTimeStr(currentStamp, shippedStamp);
    // Without a shipped copy the stored one, however old, is still the best there is.
    if (storedUnusable && shippedText && !shippedText->isEmpty()) {
        Log::outputLn(QStringLiteral("リソースのアルバムデータを読み込み"));
        UserDef::setObject(shippedStamp, SettingsKey::AlbumDataDateTime, false);
        UserDef::setObject(*shippedText, SettingsKey::AlbumData, true);
        currentStamp = shippedStamp;
        current = *shippedText;
    }
    const QString currentText = current.value_or(QString());

    QString url = marker(updateInfo, LabEndpoints::kMarkerAlbumCsvUrl);
    const QString thisVer = Tool::applicationVersion();
    const QString supportVer = marker(updateInfo, LabEndpoints::kMarkerAlbumSupportVer);
    const bool developMode = UserDef::isDevelopMode();
    if (developMode) {
        url = orbel::replaceOfString(url, QLatin1String(LabEndpoints::kAlbumDevelopFind),
                                     QLatin1String(LabEndpoints::kAlbumDevelopReplace));
        consoleLine(QStringLiteral("AlbumDataLoad --- DevelopModeなので強制ロード設定"));
        currentStamp = QStringLiteral("1999/01/01 00:00:00");
    }

    // Component by component: as decimal numbers 2.10 would read as older than 2.9.
    Log::outputLn(QStringLiteral("ThisVer=%1 SupportVer=%2")
                      .arg(orbel::versionLogText(thisVer), orbel::versionLogText(supportVer)));
    if (orbel::compareVersionText(thisVer, supportVer) < 0) {
        Log::outputLn(QStringLiteral("サポートされていないアルバムデータ"));
        return currentText;
    }
    if (!orbel::isDateTimeStr(newestStamp)) {
        Log::outputLn(QStringLiteral("ネットからの更新情報入手に失敗"));
        return currentText;
    }
    if (!orbel::isOverCheckWithDateTimeStr(currentStamp, newestStamp)) {
        Log::outputLn(QStringLiteral("最新データを使用中 [%1]").arg(currentStamp));
        return currentText;
    }

    Log::outputLn(
        QStringLiteral("更新されている 使用中[%1] 最新[%2]").arg(currentStamp, newestStamp));
    const std::optional<QString> body = LabHttp::read(url);
    if (!body) {
        Log::outputLn(QStringLiteral("ネットからのデータ入手に失敗"));
        return currentText;
    }
    if (!body->contains(QLatin1String(LabEndpoints::kAlbumCatalogueWord))) {
        Log::outputLn(QStringLiteral("読み込んだデータが不正"));
        return currentText;
    }
    if (developMode) {
        Log::outputLn(QStringLiteral("開発モードなのでローカルデータは更新しない"));
        return *body;
    }
    UserDef::setObject(newestStamp, SettingsKey::AlbumDataDateTime, false);
    UserDef::setObject(*body, SettingsKey::AlbumData, true);
    Log::outputLn(QStringLiteral("最新データに更新"));
    return *body;
}

QString ProductData::printXmlData(const QString& updateInfo) {
    return xmlData(updateInfo, printCatalogue());
}

QString ProductData::schoolXmlData(const QString& updateInfo) {
    return xmlData(updateInfo, schoolCatalogue());
}

QString ProductData::resizeXmlData(const QString& updateInfo) {
    return xmlData(updateInfo, resizeCatalogue());
}

qint64 ProductData::productXmlVer(const QString& xmlText) {
    if (xmlText.isEmpty()) {
        return 0;
    }
    const ProductXmlReader::Result read = ProductXmlReader::read(xmlText);
    if (!read.document || !read.document->versionText) {
        return 0;
    }
    return leadingInteger(*read.document->versionText);
}

bool ProductData::isAvailableXmlThisAppVersion(const QString& version) {
    const QString thisVer = Tool::applicationVersion();
    if (thisVer.isEmpty()) {
        return false;
    }
    Log::outputLn(QStringLiteral("ThisVer=%1 TargetVer=%2")
                      .arg(orbel::versionLogText(thisVer), orbel::versionLogText(version)));
    return orbel::compareVersionText(thisVer, version) >= 0;
}

QString ProductData::customDataForCode(const QString& code, const QString& key) {
    if (const std::optional<QString> custom = UserDef::customDataForCode(code, key)) {
        return *custom;
    }
    const QString family = key.toLower();
    if (family.contains(QStringLiteral("album"))) {
        return standardStoredText(SettingsKey::AlbumData);
    }
    if (family.contains(QStringLiteral("print"))) {
        return standardStoredText(SettingsKey::PrintData);
    }
    if (family.contains(QStringLiteral("school"))) {
        return standardStoredText(SettingsKey::SchoolData);
    }
    return QString();
}

bool ProductData::reloadData() {
    if (!UserDef::isCustomCustomer()) {
        if (!customDataFlg_) {
            return false;
        }
        // Leaving custom mode: back to the standard catalogues, whatever their texts.
        customDataFlg_ = false;
        albumData_ = std::make_shared<ProductAlbumData>(standardStoredText(SettingsKey::AlbumData));
        printData_ = std::make_shared<ProductPrintData>(standardStoredText(SettingsKey::PrintData));
        schoolData_ =
            std::make_shared<ProductSchoolData>(standardStoredText(SettingsKey::SchoolData));
        return true;
    }

    customDataFlg_ = true;
    const QString code = UserDef::customerCode().value_or(QString());
    bool replaced = false;
    const QString albumText = customDataForCode(code, QStringLiteral("CustomAlbum"));
    // The album object keeps its text with line ends normalised; compare like with like so an
    // unchanged CR LF text does not rebuild the tab every time.
    if (orbel::convertLineFeedCodeToLF(albumText) != albumData_->productCsvs()) {
        albumData_ = std::make_shared<ProductAlbumData>(albumText);
        replaced = true;
    }
    const QString printText = customDataForCode(code, QStringLiteral("CustomPrint"));
    if (printText != printData_->xmlData()) {
        printData_ = std::make_shared<ProductPrintData>(printText);
        replaced = true;
    }
    const QString schoolText = customDataForCode(code, QStringLiteral("CustomSchool"));
    if (schoolText != schoolData_->xmlData()) {
        schoolData_ = std::make_shared<ProductSchoolData>(schoolText);
        replaced = true;
    }
    return replaced;
}
