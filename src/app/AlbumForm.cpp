#include "app/AlbumForm.h"

#include "app/AppCtrl.h"
#include "product/ProductAlbumData.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "util/Tool.h"

namespace {

// One pop-up of the form: its record key, caption key (none for the colour pop-ups, whose caption
// is written from the catalogue) and default caption.
struct PopSpec {
    const char* key;
    const char* labelKey;
    const char* defaultCaption;
};

const PopSpec kPops[] = {
    {"AlAlbumPop", "AlAlbumLabel", "アルバム"},
    {"AlSizePop", "AlSizeLabel", "サイズ"},
    {"AlPagePop", "AlPageLabel", "ページ数"},
    {"AlInpMenPop", "AlInpMenLabel", "中面質"},
    {"AlInpRamiPop", "AlInpRamiLabel", "中ページラミネート"},
    {"AlBBStylePop", "AlBBStyleLabel", "製本スタイル"},
    {"AlHyouPop", "AlHyouLabel", "表紙"},
    {"AlHyouColPop", "AlHyouColLabel", "バリエーション"},
    {"AlHyouTempPop", "AlHyouTempLabel", "テンプレート"},
    {"AlHyouSeColPop", "AlHyouSeColLabel", "背表紙色"},
    {"AlBaseColPop", "AlBaseColLabel", "土台紙色"},
    {"AlBoxPop", "AlBoxLabel", "ボックス"},
    {"AlBoxColPop", nullptr, "ボックスカラー"},
    {"AlMiniPop", "AlMiniLabel", "ミニ"},
    {"AlMiniColPop", nullptr, "ミニブックカラー"},
};

QString s(const char* text) {
    return QString::fromUtf8(text);
}

// A text read as an integer: its leading decimal number; empty or no number gives fallback.
int typeNumber(const QString& text, int fallback) {
    if (text.trimmed().isEmpty()) {
        return fallback;
    }
    QString digits;
    for (const QChar c : text.trimmed()) {
        if (!c.isDigit()) {
            break;
        }
        digits += c;
    }
    return digits.isEmpty() ? 0 : digits.toInt();
}

void breadcrumb(const char* text) {
    UserDef::setAppStatus(QString::fromUtf8(text));
}

} // namespace

AlbumForm::AlbumForm(CatalogueSource catalogue, QObject* parent)
    : QObject(parent), catalogue_(std::move(catalogue)) {
    for (const PopSpec& p : kPops) {
        Pop pop;
        pop.caption = s(p.defaultCaption);
        pop.hasCaption = p.labelKey != nullptr;
        pops_.append(pop);
    }
}

const QStringList& AlbumForm::popKeys() {
    static const QStringList keys = [] {
        QStringList list;
        for (const PopSpec& p : kPops) {
            list.append(s(p.key));
        }
        return list;
    }();
    return keys;
}

const AlbumForm::Pop& AlbumForm::pop(const QString& key) const {
    const qsizetype at = popKeys().indexOf(key);
    return pops_[at >= 0 ? at : 0];
}

AlbumForm::Pop& AlbumForm::popRef(const QString& key) {
    const qsizetype at = popKeys().indexOf(key);
    return pops_[at >= 0 ? at : 0];
}

std::shared_ptr<ProductAlbumData> AlbumForm::album() const {
    return catalogue_ ? catalogue_() : nullptr;
}

// --- Choices ---

QString AlbumForm::popChoice(const QString& key) const {
    const QString title = pop(key).currentText();
    return title.isEmpty() ? QStringLiteral("0") : title;
}

QString AlbumForm::albumChoice() const {
    return popChoice(QStringLiteral("AlAlbumPop"));
}

QString AlbumForm::sizeChoice() const {
    const QString view = popChoice(QStringLiteral("AlSizePop"));
    const auto cat = album();
    return cat ? cat->sizeFromViewSize(view) : view;
}

QString AlbumForm::pageChoice() const {
    // The typed count stands for the pages only while the page type asks for free entry; one
    // left from another album never speaks for this one.
    if (pageTypeShown_ != 1) {
        const QString text = pageEntry_.text.trimmed();
        return text.isEmpty() ? QStringLiteral("0") : text;
    }
    return popChoice(QStringLiteral("AlPagePop"));
}

QStringList AlbumForm::checkedOptionTitles() const {
    QStringList titles;
    for (int i = 0; i < optionTitles_.size(); ++i) {
        if (optionTicked_.value(i) && !optionTitles_[i].isEmpty()) {
            titles.append(optionTitles_[i]);
        }
    }
    return titles;
}

QString AlbumForm::noTitle(const QString& choice) {
    return choice == QStringLiteral("0") ? QStringLiteral("NoTitle") : choice;
}

QString AlbumForm::caption(const QString& section, QStringList keys, int zeros,
                           const QString& defaultCaption) const {
    const auto cat = album();
    if (!cat) {
        return defaultCaption;
    }
    for (int i = 0; i < zeros; ++i) {
        keys.append(QStringLiteral("0"));
    }
    const QString found = cat->labelWithKey(section, keys);
    return found.isEmpty() ? defaultCaption : found;
}

void AlbumForm::choose(const QString& popKey, const QString& title) {
    Pop& p = popRef(popKey);
    const qsizetype at = p.items.indexOf(title);
    if (at >= 0) {
        p.current = static_cast<int>(at);
    }
}

void AlbumForm::setCountText(CountField field, const QString& text) {
    switch (field) {
    case CountField::Page:
        pageEntry_.text = text;
        break;
    case CountField::Order:
        orderNum_.text = text;
        break;
    case CountField::OrderDirect:
        orderNum2_.text = text;
        break;
    case CountField::Box:
        boxNum_.text = text;
        break;
    case CountField::Mini:
        miniNum_.text = text;
        break;
    }
}

void AlbumForm::setOptionTicked(int index, bool ticked) {
    if (index >= 0 && index < optionTicked_.size()) {
        optionTicked_[index] = ticked;
    }
}

void AlbumForm::setMemo(const QString& text) {
    memo_ = text;
}

void AlbumForm::normaliseCounts() {
    orderNum_.text = AppCtrl::orderNumCheckAndConvert(orderNum_.text);
    if (!pageEntry_.hidden) {
        pageEntry_.text = AppCtrl::orderNumCheckAndConvert(pageEntry_.text);
    }
    orderNum2_.text = AppCtrl::orderNumCheckAndConvert2(orderNum2_.text);
    Q_EMIT formChanged();
}

// --- Refilling ---

void AlbumForm::popChange(const QString& key, const QStringList& titles, const QString& cap) {
    Pop& p = popRef(key);
    const QString selected = p.currentText();
    p.items = titles;
    const qsizetype at = titles.indexOf(selected);
    p.current = at >= 0 ? static_cast<int>(at) : (titles.isEmpty() ? -1 : 0);
    if (p.hasCaption && !cap.isNull()) {
        p.caption = cap;
    }
    const bool hide = titles.isEmpty() || p.currentText() == QStringLiteral("0");
    p.hidden = hide;
    if (p.hasCaption && !cap.isNull()) {
        p.captionHidden = hide;
    }
}

void AlbumForm::refillPop(const QString& key) {
    const auto cat = album();
    const QString a = albumChoice();
    const QString size = sizeChoice();
    QString section;
    QStringList keys;
    int zeros = 2;
    if (key == QLatin1String("AlSizePop")) {
        section = ProductAlbumData::kSize;
        keys = {a};
        zeros = 1;
    } else if (key == QLatin1String("AlInpMenPop")) {
        section = ProductAlbumData::kInMen;
        keys = {a, size, popChoice(QStringLiteral("AlHyouPop"))};
    } else if (key == QLatin1String("AlInpRamiPop")) {
        section = ProductAlbumData::kInUvMen;
        keys = {a, size, popChoice(QStringLiteral("AlInpMenPop")),
                popChoice(QStringLiteral("AlHyouPop"))};
    } else if (key == QLatin1String("AlBBStylePop")) {
        section = ProductAlbumData::kBbStyle;
        const QString options = checkedOptionTitles().join(u',');
        keys = {a, size, popChoice(QStringLiteral("AlInpMenPop")),
                options.isEmpty() ? QStringLiteral("0") : options};
    } else if (key == QLatin1String("AlHyouPop")) {
        section = ProductAlbumData::kHyou;
        keys = {a, size, pageChoice()};
    } else if (key == QLatin1String("AlHyouColPop")) {
        section = ProductAlbumData::kHyouCol;
        keys = {a, size, noTitle(popChoice(QStringLiteral("AlHyouPop")))};
    } else if (key == QLatin1String("AlHyouTempPop")) {
        section = ProductAlbumData::kHyouTemp;
        keys = {a, size, noTitle(popChoice(QStringLiteral("AlHyouPop")))};
    } else if (key == QLatin1String("AlHyouSeColPop")) {
        section = ProductAlbumData::kHyouSeCol;
        keys = {a, size, noTitle(popChoice(QStringLiteral("AlHyouPop"))),
                popChoice(QStringLiteral("AlHyouTempPop"))};
    } else if (key == QLatin1String("AlBaseColPop")) {
        section = ProductAlbumData::kBaseCol;
        keys = {a, popChoice(QStringLiteral("AlHyouColPop"))};
    } else if (key == QLatin1String("AlBoxPop")) {
        section = ProductAlbumData::kBox;
        keys = {a, size};
    } else if (key == QLatin1String("AlBoxColPop")) {
        section = ProductAlbumData::kBoxCol;
        keys = {a, size, noTitle(popChoice(QStringLiteral("AlBoxPop")))};
    } else if (key == QLatin1String("AlMiniPop")) {
        section = ProductAlbumData::kMini;
        keys = {a, size, pageChoice(), popChoice(QStringLiteral("AlInpRamiPop"))};
        zeros = 3;
    } else if (key == QLatin1String("AlMiniColPop")) {
        section = ProductAlbumData::kMiniCol;
        keys = {a, size, noTitle(popChoice(QStringLiteral("AlMiniPop")))};
    } else {
        return;
    }
    QStringList titles = cat ? cat->itemsWithKey(section, keys) : QStringList();
    if (key == QLatin1String("AlSizePop") && cat) {
        for (QString& title : titles) {
            title = cat->viewSizeFromSize(title);
        }
    }
    const Pop& p = pop(key);
    const qsizetype at = popKeys().indexOf(key);
    const QString cap =
        p.hasCaption ? caption(section, keys, zeros, s(kPops[at].defaultCaption)) : QString();
    popChange(key, titles, cap);
}

void AlbumForm::refreshPages() {
    const auto cat = album();
    const QString a = albumChoice();
    const QString size = sizeChoice();
    const int type =
        cat ? typeNumber(cat->labelWithKey(ProductAlbumData::kPage, QStringList{a, size, "0"}), 1)
            : 1;
    const QString cap = caption(ProductAlbumData::kPage, {a, size}, 2, QStringLiteral("ページ数"));
    const QStringList pages =
        cat ? cat->itemsWithKey(ProductAlbumData::kPage, QStringList{a, size}) : QStringList();
    if ((type == 1) != (pageTypeShown_ == 1)) {
        pageEntry_.text = QStringLiteral("1");
    }
    pageTypeShown_ = type == 1 ? 1 : 0;
    if (type == 1) {
        pageEntry_.hidden = true;
        popChange(QStringLiteral("AlPagePop"), pages, cap);
        return;
    }
    // Free entry: the list becomes the suggestions of the typed count.
    Pop& pagePop = popRef(QStringLiteral("AlPagePop"));
    pagePop.hidden = true;
    pageEntryItems_ = pages;
    pagePop.caption = cap;
    if (pages.isEmpty()) {
        pageEntry_.text = QStringLiteral("0");
    }
    pageEntry_.hidden = pages.isEmpty();
    pagePop.captionHidden = pages.isEmpty();
}

void AlbumForm::refreshCount() {
    const auto cat = album();
    const QString a = albumChoice();
    const int type =
        cat ? typeNumber(cat->labelWithKey(ProductAlbumData::kOrderNum, QStringList{a}), 1) : 1;
    const int mode = type == 1 || type == 2 ? type : 0;
    if (mode != countTypeShown_) {
        if (mode == 2) {
            orderNum2_.text = QStringLiteral("0");
        } else {
            orderNum_.text = QStringLiteral("1");
        }
    }
    countTypeShown_ = mode;
    orderNumCaption_ = caption(ProductAlbumData::kOrderNum, {a}, 1, QStringLiteral("数量"));
    orderUnitCaption_ = caption(ProductAlbumData::kOrderNum, {a}, 2, QStringLiteral("冊"));
    orderNum_.hidden = mode != 1;
    orderNum2_.hidden = mode != 2;
    orderNumCaptionHidden_ = mode == 0;
}

void AlbumForm::refreshSideCount(const QString& ownerKey, Count& count) {
    const Pop& owner = pop(ownerKey);
    if (owner.hidden || owner.currentText() == QStringLiteral("-")) {
        count.text = QStringLiteral("1");
        count.hidden = true;
        return;
    }
    count.hidden = false;
    if (count.text.trimmed().toLongLong() <= 0) {
        count.text = QStringLiteral("1");
    }
}

void AlbumForm::refreshOptions(const QStringList& keepTicked) {
    const auto cat = album();
    optionTitles_.clear();
    if (cat) {
        optionTitles_ = cat->itemsWithKey(ProductAlbumData::kOpt,
                                          QStringList{albumChoice(), sizeChoice(), pageChoice(),
                                                      popChoice(QStringLiteral("AlHyouPop")),
                                                      popChoice(QStringLiteral("AlHyouTempPop")),
                                                      popChoice(QStringLiteral("AlBaseColPop"))});
    }
    optionTicked_.clear();
    for (const QString& title : std::as_const(optionTitles_)) {
        optionTicked_.append(keepTicked.contains(title));
    }
}

void AlbumForm::albumUiRefresh() {
    refillPop(QStringLiteral("AlSizePop"));
    refreshPages();
    refreshCount();
    for (const char* key :
         {"AlInpMenPop", "AlInpRamiPop", "AlBBStylePop", "AlHyouPop", "AlHyouColPop",
          "AlHyouTempPop", "AlHyouSeColPop", "AlBaseColPop", "AlBoxPop"}) {
        refillPop(s(key));
    }
    refreshSideCount(QStringLiteral("AlBoxPop"), boxNum_);
    refillPop(QStringLiteral("AlBoxColPop"));
    refillPop(QStringLiteral("AlMiniPop"));
    refreshSideCount(QStringLiteral("AlMiniPop"), miniNum_);
    refillPop(QStringLiteral("AlMiniColPop"));
    refreshOptions(checkedOptionTitles());
    orderLimitChecks();
    Q_EMIT formChanged();
}

void AlbumForm::albumUIInit() {
    breadcrumb("albumUIInit");
    const auto cat = album();
    popChange(QStringLiteral("AlAlbumPop"), cat ? cat->itemsAlbum() : QStringList(), QString());
    breadcrumb("albumUIInit2");
    if (UserDef::stringForKey(QStringLiteral("AlbumSlectionSave")) == QStringLiteral("ON")) {
        loadAlbumUiInfo();
    }
    breadcrumb("albumUIInit3");
    albumUiRefresh();
    initialised_ = true;
    breadcrumb("albumUIInit end");
}

// --- Record ---

QVariantMap AlbumForm::nowAlbumUiDic() const {
    QVariantMap dic;
    for (int i = 0; i < pops_.size(); ++i) {
        const Pop& p = pops_[i];
        dic.insert(s(kPops[i].key), p.items.isEmpty() ? QString() : p.currentText());
        if (kPops[i].labelKey != nullptr) {
            dic.insert(s(kPops[i].labelKey), p.captionHidden ? QString() : p.caption);
        }
    }
    if (pageTypeShown_ != 1) {
        const QString text = pageEntry_.text.trimmed();
        dic.insert(QStringLiteral("AlPagePop"), text.isEmpty() ? QStringLiteral("0") : text);
    }
    QString count;
    if (!orderNum_.hidden) {
        count = orderNum_.text.trimmed();
    } else if (orderNum2_.hidden) {
        count = QStringLiteral("1");
    } else {
        count = orderNum2_.text.trimmed();
    }
    dic.insert(QStringLiteral("AlOrderNum"), count.isEmpty() ? QStringLiteral("0") : count);
    const auto sideCount = [](const Count& c) {
        const QString text = c.text.trimmed();
        return c.hidden || text.isEmpty() ? QStringLiteral("0") : text;
    };
    dic.insert(QStringLiteral("AlOrderBoxNum"), sideCount(boxNum_));
    dic.insert(QStringLiteral("AlOrderMiniNum"), sideCount(miniNum_));
    dic.insert(SettingsKey::AlOptoinArray, checkedOptionTitles());
    dic.insert(QStringLiteral("AlOrderMemo"), memo_);
    dic.insert(QStringLiteral("AlOrderNumLabel"),
               orderNumCaptionHidden_ ? QString() : orderNumCaption_);
    dic.insert(QStringLiteral("AlOrderUnitLabel"),
               orderNumCaptionHidden_ ? QString() : orderUnitCaption_);
    dic.insert(QStringLiteral("AlOrderUnitBoxLabel"),
               boxNum_.hidden ? QString() : QStringLiteral("個"));
    dic.insert(QStringLiteral("AlOrderUnitMiniLabel"),
               miniNum_.hidden ? QString() : QStringLiteral("冊"));
    const QString a = albumChoice();
    const QString size = sizeChoice();
    dic.insert(QStringLiteral("AlBoxColLabel"),
               caption(ProductAlbumData::kBoxCol, {a, size, popChoice(QStringLiteral("AlBoxPop"))},
                       2, QStringLiteral("ボックスカラー")));
    dic.insert(QStringLiteral("AlMiniColLabel"),
               caption(ProductAlbumData::kMiniCol,
                       {a, size, popChoice(QStringLiteral("AlMiniPop"))}, 2,
                       QStringLiteral("ミニブックカラー")));
    return dic;
}

void AlbumForm::saveAlbumUiInfo() const {
    // Before the set-up the form is empty: it must not replace the record it will restore.
    if (!initialised_) {
        return;
    }
    UserDef::setAlbumDic(nowAlbumUiDic());
}

void AlbumForm::loadAlbumUiInfo() {
    if (const auto dic = UserDef::albumDic()) {
        albumUiSetupFromDic(*dic);
    }
}

void AlbumForm::albumUiSetupFromDic(const QVariantMap& dic) {
    const auto text = [&dic](const char* key) { return dic.value(s(key)).toString(); };
    const auto refillSelect = [&](const char* key) {
        refillPop(s(key));
        choose(s(key), text(key));
        // The hide rule follows the selection.
        Pop& p = popRef(s(key));
        const bool hide = p.items.isEmpty() || p.currentText() == QStringLiteral("0");
        p.hidden = hide;
        if (p.hasCaption) {
            p.captionHidden = hide;
        }
    };
    choose(QStringLiteral("AlAlbumPop"), text("AlAlbumPop"));
    refillSelect("AlSizePop");
    refreshPages();
    if (pageTypeShown_ == 1) {
        choose(QStringLiteral("AlPagePop"), text("AlPagePop"));
        refreshPages();
    } else {
        pageEntry_.text = text("AlPagePop");
    }
    refreshCount();
    if (!orderNum_.hidden) {
        orderNum_.text = QStringLiteral("1");
    } else if (!orderNum2_.hidden) {
        orderNum2_.text = QStringLiteral("0");
    }
    for (const char* key : {"AlBaseColPop", "AlInpMenPop", "AlInpRamiPop", "AlBBStylePop",
                            "AlHyouPop", "AlHyouColPop", "AlHyouTempPop", "AlHyouSeColPop"}) {
        refillSelect(key);
    }
    // The base-paper colour depends on the variation, which is only now restored.
    refillSelect("AlBaseColPop");
    refillSelect("AlBoxPop");
    refreshSideCount(QStringLiteral("AlBoxPop"), boxNum_);
    if (!boxNum_.hidden) {
        boxNum_.text = text("AlOrderBoxNum");
    }
    refillSelect("AlBoxColPop");
    refillSelect("AlMiniPop");
    refreshSideCount(QStringLiteral("AlMiniPop"), miniNum_);
    if (!miniNum_.hidden) {
        miniNum_.text = text("AlOrderMiniNum");
    }
    refillSelect("AlMiniColPop");
    if (dic.contains(SettingsKey::AlOptoinArray)) {
        refreshOptions(dic.value(SettingsKey::AlOptoinArray).toStringList());
    } else {
        refreshOptions(checkedOptionTitles());
    }
    Q_EMIT formChanged();
}

// --- Rules ---

bool AlbumForm::isOrderLimitCheck(const QString& count) const {
    const auto cat = album();
    const qint64 limit = cat ? cat->orderLimit(albumChoice()) : 0;
    return limit != 0 && count.trimmed().toLongLong() > limit;
}

bool AlbumForm::orderLimitChecks() {
    bool reset = false;
    const auto alertOver = [this] {
        const auto cat = album();
        const qint64 limit = cat ? cat->orderLimit(albumChoice()) : 0;
        Tool::beep(QStringLiteral("Basso"));
        Tool::alertWithMsg(QStringLiteral("注文数上限は %1 です").arg(limit),
                           QStringLiteral("%1 以下の数量を入力してください").arg(limit));
    };
    if (!orderNum_.hidden) {
        if (isOrderLimitCheck(orderNum_.text)) {
            alertOver();
            orderNum_.text = QStringLiteral("1");
            reset = true;
        }
    } else if (!orderNum2_.hidden) {
        if (isOrderLimitCheck(orderNum2_.text)) {
            alertOver();
            orderNum2_.text = QStringLiteral("0");
            reset = true;
        }
    }
    for (Count* count : {&boxNum_, &miniNum_}) {
        if (!count->hidden && isOrderLimitCheck(count->text)) {
            alertOver();
            count->text = QStringLiteral("1");
            reset = true;
        }
    }
    if (reset) {
        Q_EMIT formChanged();
    }
    return reset;
}

bool AlbumForm::albumSendChecks() {
    // Send pressed from the keyboard while a count is still being typed: the count has not been
    // checked yet. An order never goes with a count the limit replaced.
    if (orderLimitChecks()) {
        return false;
    }
    if (!orderNum2_.hidden && orderNum2_.text == QStringLiteral("0")) {
        Tool::beep(QStringLiteral("Basso"));
        Tool::alertWithMsg(QStringLiteral("数量を入力してください"),
                           QStringLiteral("1以上の数量を入力してください"));
        return false;
    }
    if (albumChoice() == QStringLiteral("ソレイナ") &&
        pop(QStringLiteral("AlMiniPop")).currentText() == QStringLiteral("-")) {
        Tool::beep(QStringLiteral("Basso"));
        if (!Tool::alertOkNgWithMsg(QStringLiteral("ミニ指定がありません。"),
                                    QStringLiteral("ミニ指定がありません。このまま送信しますか？"),
                                    QStringLiteral("はい"), QStringLiteral("いいえ"))) {
            return false;
        }
    }
    return true;
}

bool AlbumForm::isPageChosen() const {
    return pop(QStringLiteral("AlPagePop")).currentText() != QStringLiteral("-");
}

QString AlbumForm::albumSendBlock(bool hasFiles, bool withKinelo) const {
    if (!hasFiles) {
        return QStringLiteral("アルバムにする画像をドロップしてください");
    }
    if (!isPageChosen()) {
        return QStringLiteral("ページ数を選択してください");
    }
    if (withKinelo && UserDef::isAlbumKineloFile() && isAlbumKineloMovFileOnly() &&
        UserDef::albumKinloOrderType() <= 1) {
        return QStringLiteral("この商品のキネロは動画と写真の登録が必要です");
    }
    return QString();
}

bool AlbumForm::isCharInputProduct() const {
    const auto cat = album();
    if (!cat) {
        return false;
    }
    for (const char* key : {"AlHyouPop", "AlHyouColPop", "AlHyouTempPop", "AlHyouSeColPop",
                            "AlBoxPop", "AlMiniPop"}) {
        const Pop& p = pop(s(key));
        if (!p.items.isEmpty() && cat->isPutNameDateProduct(p.currentText())) {
            return true;
        }
    }
    for (const QString& title : checkedOptionTitles()) {
        if (cat->isPutNameDateProduct(title)) {
            return true;
        }
    }
    return false;
}

bool AlbumForm::isAlbumKineloMovFileOnly() const {
    const QString a = pop(QStringLiteral("AlAlbumPop")).currentText();
    return a == QStringLiteral("RAW現像") || a == QStringLiteral("ポストカード");
}

void AlbumForm::albumDirectOrderNumClear() {
    if (!orderNum2_.hidden) {
        orderNum2_.text = QStringLiteral("0");
        Q_EMIT formChanged();
    }
}

std::optional<QUrl> AlbumForm::catalogPageUrl() const {
    const auto cat = album();
    const QString address = cat ? cat->catalogURLFromKey(albumChoice()) : QString();
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    // The address comes from a catalogue fetched over the network: only web pages are opened,
    // never a local file or another program's address.
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QStringLiteral("http") && scheme != QStringLiteral("https"))) {
        Log::outputLn(QStringLiteral("カタログのアドレスが不正なので開かない（%1）").arg(address));
        Tool::beep(QStringLiteral("Basso"));
        Tool::alertWithMsg(
            QStringLiteral("カタログのページを開けません"),
            QStringLiteral("%1\nはウェブページのアドレスではありません。").arg(address));
        return std::nullopt;
    }
    return url;
}
