#pragma once

#include <QString>
#include <memory>

class ProductAlbumData;
class ProductPrintData;
class ProductSchoolData;
class ProductResizeData;

// Decides which text of each of the four catalogues is used (stored, shipped, newer from the lab,
// or the current customer's own) and owns the catalogue objects built from them. One instance
// lives for the whole run; catalogue objects are replaced whole, never edited, and handed out as
// shared pointers so a holder keeps a replaced one alive as long as it needs it.
class ProductData {
public:
    // The texts of the four catalogues.
    struct Texts {
        QString album;
        QString print;
        QString school;
        QString resize;
    };
    // Which catalogue objects a change replaced.
    struct Replaced {
        bool album = false;
        bool print = false;
        bool school = false;
        bool resize = false;
        bool any() const { return album || print || school || resize; }
    };

    // Builds the four catalogues from the update information (the two information pages joined
    // with "\n"), recording the run status before each.
    explicit ProductData(const QString& updateInfo);
    // Builds them from texts at hand (the start-up's kept copies), recording the same run status.
    explicit ProductData(const Texts& texts);
    ~ProductData();
    ProductData(const ProductData&) = delete;
    ProductData& operator=(const ProductData&) = delete;

    std::shared_ptr<ProductAlbumData> albumData() const { return albumData_; }
    std::shared_ptr<ProductPrintData> printData() const { return printData_; }
    std::shared_ptr<ProductSchoolData> schoolData() const { return schoolData_; }
    std::shared_ptr<ProductResizeData> resizeData() const { return resizeData_; }
    // True while album, print and school are the current customer's own catalogues.
    bool customDataFlg() const { return customDataFlg_; }

    // The catalogue text to use, stored as the copy in use where the rules say so. Empty only when
    // neither a stored nor a shipped copy exists and nothing could be fetched.
    static QString albumStrData(const QString& updateInfo);
    static QString printXmlData(const QString& updateInfo);
    static QString schoolXmlData(const QString& updateInfo);
    static QString resizeXmlData(const QString& updateInfo);
    // The four texts as the update information chooses them (albumStrData and the others, in that
    // order: newer ones fetched and stored). Safe on a worker thread: no catalogue object is
    // touched.
    static Texts textsForUpdateInfo(const QString& updateInfo);
    // The copies kept from the last run (the stored text, else the shipped one), read without
    // asking the lab and without storing anything: what the tabs show until the lab has answered.
    static Texts keptTexts();
    // Puts the standard catalogues chosen by the lab in place of the ones built from the kept
    // copies, where their texts differ. While the current customer's own catalogues are in use,
    // only the resize catalogue (never custom) is replaced; reloadData() follows for the rest.
    Replaced replaceStandardTexts(const Texts& texts);

    // The "ver_no" of the "xml_ver" element under the root; 0 when there is none or the text does
    // not parse.
    static qint64 productXmlVer(const QString& xmlText);
    // This application's version is at least version (both read as leading decimal numbers).
    static bool isAvailableXmlThisAppVersion(const QString& version);
    // The custom text stored for code and key, else the standard stored text of the key's family
    // (album, print, school), else "".
    static QString customDataForCode(const QString& code, const QString& key);

    // Brings album, print and school in line with the current customer; true when at least one
    // catalogue object was replaced (the caller then rebuilds those tabs).
    bool reloadData();

private:
    std::shared_ptr<ProductAlbumData> albumData_;
    std::shared_ptr<ProductPrintData> printData_;
    std::shared_ptr<ProductSchoolData> schoolData_;
    std::shared_ptr<ProductResizeData> resizeData_;
    bool customDataFlg_ = false;
};
