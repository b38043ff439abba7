#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

class ProductAlbumData;

// The album form: one bound album chosen through a cascade of pop-ups that the album catalogue
// fills according to the choices above them. It holds the current choices, derives every list,
// caption, visibility and limit from the catalogue, checks the form before Send and writes the
// album record ("AlbumDic") the report reads. The album tab presents it and forwards the user's
// choices; formChanged() tells it to present again.
class AlbumForm : public QObject {
    Q_OBJECT
public:
    // The catalogue in use now; null before one is loaded.
    using CatalogueSource = std::function<std::shared_ptr<ProductAlbumData>()>;

    // One pop-up as it is shown: its list, choice, caption and whether it (and its caption) hide.
    struct Pop {
        QStringList items;
        int current = -1;
        QString caption;
        bool hidden = false;
        bool captionHidden = false;
        bool hasCaption = true;
        QString currentText() const { return items.value(current); }
    };
    // A count field: its text and whether it is shown.
    struct Count {
        QString text;
        bool hidden = false;
    };
    // Which count field the user typed into.
    enum class CountField { Page, Order, OrderDirect, Box, Mini };

    explicit AlbumForm(CatalogueSource catalogue, QObject* parent = nullptr);

    // The record keys of the pop-ups, in form order ("AlAlbumPop", "AlSizePop", ...).
    static const QStringList& popKeys();
    const Pop& pop(const QString& key) const;
    // The page count typed freely, shown instead of the page pop-up when the catalogue asks.
    const Count& pageEntry() const { return pageEntry_; }
    const QStringList& pageEntryItems() const { return pageEntryItems_; }
    const Count& orderNum() const { return orderNum_; }        // the count from a list
    const Count& orderNumDirect() const { return orderNum2_; } // the count typed directly
    const QString& orderNumCaption() const { return orderNumCaption_; }
    const QString& orderUnitCaption() const { return orderUnitCaption_; }
    bool orderNumCaptionHidden() const { return orderNumCaptionHidden_; }
    const Count& boxNum() const { return boxNum_; }
    const Count& miniNum() const { return miniNum_; }
    const QStringList& optionTitles() const { return optionTitles_; }
    bool isOptionTicked(int index) const { return optionTicked_.value(index); }
    QStringList checkedOptionTitles() const;
    const QString& memo() const { return memo_; }

    // --- The user's choices ---
    void choose(const QString& popKey, const QString& title);
    void setCountText(CountField field, const QString& text);
    void setOptionTicked(int index, bool ticked);
    void setMemo(const QString& text);
    // Counts as the form keeps them after the user leaves a field (at least 1, or 0 for the
    // direct count).
    void normaliseCounts();

    // --- Set-up and refresh ---
    void albumUIInit();
    void albumUiRefresh();
    // The form as the album record ("AlbumDic").
    QVariantMap nowAlbumUiDic() const;
    void saveAlbumUiInfo() const;
    void loadAlbumUiInfo();
    void albumUiSetupFromDic(const QVariantMap& dic);

    // --- Rules ---
    // A count above the album's non-zero order limit.
    bool isOrderLimitCheck(const QString& count) const;
    // Alerts and resets a count above the album's order limit; true when it reset one.
    bool orderLimitChecks();
    // The checks of Send: limits, a direct count of 0, Soleina without a mini (asked). True when
    // the order may go on.
    bool albumSendChecks();
    // A page count is chosen (Send needs one).
    bool isPageChosen() const;
    // Why Send is off for the form as it is (files dropped or not), or "" when it may go. The
    // Kinelo rule (a video-only product needs its videos and photos registered) counts only for
    // Send, not for the Kinelo button itself.
    QString albumSendBlock(bool hasFiles, bool withKinelo = true) const;
    // The album choices need a name and date on the plate or foil stamp.
    bool isCharInputProduct() const;
    // The album product is one of the video-only products of Kinelo.
    bool isAlbumKineloMovFileOnly() const;
    void albumDirectOrderNumClear();
    // The album's catalogue page, when it is a web page; otherwise logged, alerted and none.
    std::optional<QUrl> catalogPageUrl() const;

Q_SIGNALS:
    void formChanged();

private:
    std::shared_ptr<ProductAlbumData> album() const;
    Pop& popRef(const QString& key);
    QString popChoice(const QString& key) const;
    QString albumChoice() const;
    QString sizeChoice() const; // catalogue form
    QString pageChoice() const;
    static QString noTitle(const QString& choice);
    QString caption(const QString& section, QStringList keys, int zeros,
                    const QString& defaultCaption) const;

    void popChange(const QString& key, const QStringList& titles, const QString& caption);
    void refillPop(const QString& key);
    void refreshPages();
    void refreshCount();
    void refreshSideCount(const QString& ownerKey, Count& count);
    void refreshOptions(const QStringList& keepTicked);

    CatalogueSource catalogue_;
    QList<Pop> pops_; // in the order of popKeys()
    Count pageEntry_{QStringLiteral("1"), true};
    QStringList pageEntryItems_;
    Count orderNum_{QStringLiteral("1"), false};
    Count orderNum2_{QStringLiteral("0"), true};
    QString orderNumCaption_ = QStringLiteral("数量");
    QString orderUnitCaption_ = QStringLiteral("冊");
    bool orderNumCaptionHidden_ = false;
    Count boxNum_{QStringLiteral("1"), false};
    Count miniNum_{QStringLiteral("1"), false};
    QStringList optionTitles_;
    QList<bool> optionTicked_;
    QString memo_;
    bool initialised_ = false;
    int pageTypeShown_ = 1;
    int countTypeShown_ = 1;
};
