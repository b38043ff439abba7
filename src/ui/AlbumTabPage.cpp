#include "ui/AlbumTabPage.h"

#include "app/AlbumSet.h"
#include "app/AppCtrl.h"
#include "product/ProductAlbumData.h"
#include "product/ProductData.h"
#include "settings/Log.h"
#include "settings/SettingsKeys.h"
#include "settings/UserDef.h"
#include "ui/DragDropScrollView.h"
#include "util/Tool.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const char kTag[] = "tag";

// One pop-up of the form: its outlet, caption outlet, record keys, default caption and tag.
struct PopSpec {
    const char* pop;
    const char* label;
    const char* key;
    const char* labelKey;
    const char* defaultCaption;
    int tag;
};

// Tags of the form's own controls: they only refresh.
constexpr int kTagAlbum = 180;
constexpr int kTagPageCombo = 183;
constexpr int kTagOrderNum = 184;
constexpr int kTagOrderNum2 = 185;
constexpr int kTagBoxNum = 195;
constexpr int kTagMiniNum = 198;
constexpr int kTagOptionFirst = 210;

const PopSpec kPops[] = {
    {"alAlbumPop", "alAlbumLabel", "AlAlbumPop", "AlAlbumLabel", "アルバム", kTagAlbum},
    {"alSizePop", "alSizeLabel", "AlSizePop", "AlSizeLabel", "サイズ", 181},
    {"alPagePop", "alPageLabel", "AlPagePop", "AlPageLabel", "ページ数", 182},
    {"alInpMenPop", "alInpMenLabel", "AlInpMenPop", "AlInpMenLabel", "中面質", 186},
    {"alInpRamiPop", "alInpRamiLabel", "AlInpRamiPop", "AlInpRamiLabel", "中ページラミネート", 187},
    {"alBBStylePop", "alBBStyleLabel", "AlBBStylePop", "AlBBStyleLabel", "製本スタイル", 188},
    {"alHyouPop", "alHyouLabel", "AlHyouPop", "AlHyouLabel", "表紙", 189},
    {"alHyouColPop", "alHyouColLabel", "AlHyouColPop", "AlHyouColLabel", "バリエーション", 190},
    {"alHyouTempPop", "alHyouTempLabel", "AlHyouTempPop", "AlHyouTempLabel", "テンプレート", 191},
    {"alHyouSeColPop", "alHyouSeColLabel", "AlHyouSeColPop", "AlHyouSeColLabel", "背表紙色", 192},
    {"alBaseColPop", "alBaseColLabel", "AlBaseColPop", "AlBaseColLabel", "土台紙色", 193},
    {"alBoxPop", "alBoxLabel", "AlBoxPop", "AlBoxLabel", "ボックス", 194},
    {"alBoxColPop", nullptr, "AlBoxColPop", nullptr, "ボックスカラー", 196},
    {"alMiniPop", "alMiniLabel", "AlMiniPop", "AlMiniLabel", "ミニ", 197},
    {"alMiniColPop", nullptr, "AlMiniColPop", nullptr, "ミニブックカラー", 199},
};

const PopSpec& spec(const QString& pop) {
    for (const PopSpec& s : kPops) {
        if (pop == QLatin1String(s.pop)) {
            return s;
        }
    }
    return kPops[0];
}

QString s(const char* text) {
    return QString::fromUtf8(text);
}

bool shown(const QWidget* widget) {
    return widget != nullptr && !widget->isHidden();
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

QStringList countSuggestions() {
    QStringList list;
    for (int i = 1; i <= 10; ++i) {
        list.append(QString::number(i));
    }
    return list;
}

} // namespace

AlbumTabPage::AlbumTabPage(AppCtrl& ctrl, QWidget* parent)
    : OrderTabPage(OrderTab::Album, ctrl, QStringLiteral("albumSendButton"), parent) {
    // --- Selection ---
    makeSelectionControls(imageFolderPath_, imageFolderSelectButton_, fileInfoTextView_);
    fileInfoTextView_->setMaximumHeight(fontMetrics().height() * 4);

    // --- Album sets, catalogue and Kinelo ---
    setPop_ = new QComboBox(this);
    setPop_->setObjectName(QStringLiteral("alSetPop"));
    setPop_->setAccessibleName(QStringLiteral("アルバムセット"));
    setPop_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    setPop_->setMinimumContentsLength(12);
    setAddButton_ = new QPushButton(QStringLiteral("セット登録…"), this);
    setAddButton_->setObjectName(QStringLiteral("alSetAddButton"));
    setAddButton_->setAccessibleName(QStringLiteral("セット登録"));
    setEditButton_ = new QPushButton(QStringLiteral("名称変更…"), this);
    setEditButton_->setObjectName(QStringLiteral("alSetEditButton"));
    setEditButton_->setAccessibleName(QStringLiteral("セット名称変更"));
    setDelButton_ = new QPushButton(QStringLiteral("削除…"), this);
    setDelButton_->setObjectName(QStringLiteral("alSetDelButton"));
    setDelButton_->setAccessibleName(QStringLiteral("セット削除"));
    catalogButton_ = new QPushButton(QStringLiteral("カタログを見る"), this);
    catalogButton_->setObjectName(QStringLiteral("albumCatalogButton"));
    catalogButton_->setAccessibleName(QStringLiteral("カタログを見る"));
    kineloButton_ = new QPushButton(QStringLiteral("キネロのお申し込み"), this);
    kineloButton_->setObjectName(QStringLiteral("albumKineloButton"));
    kineloButton_->setAccessibleName(QStringLiteral("キネロのお申し込み"));

    // --- The form ---
    for (const PopSpec& p : kPops) {
        PopRow row;
        row.pop = makePop(s(p.pop), s(p.defaultCaption), p.tag);
        if (p.label != nullptr) {
            row.label = makeLabel(s(p.label), s(p.defaultCaption));
        }
        pops_.insert(s(p.pop), row);
    }
    pageComBox_ =
        makeCountBox(QStringLiteral("alPageComBox"), QStringLiteral("ページ数"), kTagPageCombo);
    pageComBox_->setHidden(true);
    orderNum_ = makeCountBox(QStringLiteral("alOrderNum"), QStringLiteral("数量"), kTagOrderNum);
    orderNum_->addItems(countSuggestions());
    orderNum_->setCurrentText(QStringLiteral("1"));
    orderNum2_ = new QLineEdit(QStringLiteral("0"), this);
    orderNum2_->setObjectName(QStringLiteral("alOrderNum2"));
    orderNum2_->setAccessibleName(QStringLiteral("数量"));
    orderNum2_->setProperty(kTag, kTagOrderNum2);
    orderNum2_->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000")) * 2);
    orderNum2_->setHidden(true);
    connect(orderNum2_, &QLineEdit::editingFinished, this, [this] { albumAction(kTagOrderNum2); });
    orderNumLabel_ = makeLabel(QStringLiteral("alOrderNumLabel"), QStringLiteral("数量"));
    orderUnitLabel_ = makeLabel(QStringLiteral("alOrderUnitLabel"), QStringLiteral("冊"));
    orderBoxNum_ =
        makeCountBox(QStringLiteral("alOrderBoxNum"), QStringLiteral("ボックスの数量"), kTagBoxNum);
    orderBoxNum_->addItems(countSuggestions());
    orderBoxNum_->setCurrentText(QStringLiteral("1"));
    orderUnitBoxLabel_ = makeLabel(QStringLiteral("alOrderUnitBoxLabel"), QStringLiteral("個"));
    orderMiniNum_ =
        makeCountBox(QStringLiteral("alOrderMiniNum"), QStringLiteral("ミニの数量"), kTagMiniNum);
    orderMiniNum_->addItems(countSuggestions());
    orderMiniNum_->setCurrentText(QStringLiteral("1"));
    orderUnitMiniLabel_ = makeLabel(QStringLiteral("alOrderUnitMiniLabel"), QStringLiteral("冊"));
    for (QLabel* unit : {orderUnitLabel_, orderUnitBoxLabel_, orderUnitMiniLabel_}) {
        unit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }

    orderMemo_ = new QPlainTextEdit(this);
    orderMemo_->setObjectName(QStringLiteral("alOrderMemo"));
    orderMemo_->setAccessibleName(QStringLiteral("注文メモ"));
    orderMemo_->setTabChangesFocus(true);
    orderMemo_->setMaximumHeight(fontMetrics().height() * 4);
    connect(orderMemo_, &QPlainTextEdit::textChanged, this, [this] {
        if (!refreshing_) {
            saveAlbumUiInfo();
        }
    });

    // Two columns of captioned rows; a hidden control takes its caption with it.
    const auto row = [](QGridLayout* grid, int r, QLabel* label, QWidget* field) {
        if (label != nullptr) {
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            label->setBuddy(field);
            grid->addWidget(label, r, 0);
        }
        grid->addWidget(field, r, 1);
    };
    const auto line = [this](std::initializer_list<QWidget*> widgets) {
        auto* holder = new QWidget(this);
        auto* box = new QHBoxLayout(holder);
        box->setContentsMargins(0, 0, 0, 0);
        for (QWidget* w : widgets) {
            box->addWidget(w, qobject_cast<QComboBox*>(w) != nullptr &&
                                      w->objectName().endsWith(QStringLiteral("Pop"))
                                  ? 1
                                  : 0);
        }
        box->addStretch(0);
        return holder;
    };
    const auto p = [this](const char* name) { return pops_.value(s(name)).pop; };
    const auto l = [this](const char* name) { return pops_.value(s(name)).label; };

    auto* left = new QGridLayout;
    auto* right = new QGridLayout;
    for (QGridLayout* g : {left, right}) {
        g->setColumnStretch(1, 1);
        g->setVerticalSpacing(4);
    }
    row(left, 0, l("alAlbumPop"), p("alAlbumPop"));
    row(left, 1, l("alSizePop"), p("alSizePop"));
    row(left, 2, l("alPagePop"), line({p("alPagePop"), pageComBox_}));
    row(left, 3, orderNumLabel_, line({orderNum_, orderNum2_, orderUnitLabel_}));
    row(left, 4, l("alInpMenPop"), p("alInpMenPop"));
    row(left, 5, l("alInpRamiPop"), p("alInpRamiPop"));
    row(left, 6, l("alBBStylePop"), p("alBBStylePop"));
    row(left, 7, l("alBaseColPop"), p("alBaseColPop"));
    row(right, 0, l("alHyouPop"), p("alHyouPop"));
    row(right, 1, l("alHyouColPop"), p("alHyouColPop"));
    row(right, 2, l("alHyouTempPop"), p("alHyouTempPop"));
    row(right, 3, l("alHyouSeColPop"), p("alHyouSeColPop"));
    row(right, 4, l("alBoxPop"),
        line({p("alBoxPop"), orderBoxNum_, orderUnitBoxLabel_, p("alBoxColPop")}));
    row(right, 5, l("alMiniPop"),
        line({p("alMiniPop"), orderMiniNum_, orderUnitMiniLabel_, p("alMiniColPop")}));
    // Both columns start at the top; the room left over goes below the memo.
    left->setRowStretch(8, 1);
    right->setRowStretch(8, 1);

    auto* optionFrame = new QFrame(this);
    optionFrame->setObjectName(QStringLiteral("alOptionFrame"));
    optionGrid_ = new QGridLayout(optionFrame);
    optionGrid_->setContentsMargins(0, 0, 0, 0);
    for (int i = 1; i <= kOptionBoxes; ++i) {
        optionBox(i); // creates it
    }
    auto* optionCaption = new QLabel(QStringLiteral("オプション"), this);
    optionCaption->setAlignment(Qt::AlignRight | Qt::AlignTop);
    auto* memoCaption = new QLabel(QStringLiteral("メモ"), this);
    memoCaption->setAlignment(Qt::AlignRight | Qt::AlignTop);
    memoCaption->setBuddy(orderMemo_);
    auto* filesCaption = new QLabel(QStringLiteral("ファイル"), this);
    filesCaption->setAlignment(Qt::AlignRight | Qt::AlignTop);
    filesCaption->setBuddy(fileInfoTextView_);

    auto* form = new QWidget(this);
    form->setObjectName(QStringLiteral("albumForm"));
    auto* formGrid = new QGridLayout(form);
    formGrid->setContentsMargins(0, 0, 0, 0);
    formGrid->addLayout(left, 0, 0, 1, 2);
    formGrid->addLayout(right, 0, 2, 1, 2);
    formGrid->addWidget(optionCaption, 1, 0);
    formGrid->addWidget(optionFrame, 1, 1, 1, 3);
    formGrid->addWidget(memoCaption, 2, 0);
    formGrid->addWidget(orderMemo_, 2, 1);
    formGrid->addWidget(filesCaption, 2, 2);
    formGrid->addWidget(fileInfoTextView_, 2, 3);
    formGrid->setColumnStretch(1, 1);
    formGrid->setColumnStretch(3, 1);
    formGrid->setRowStretch(3, 1);

    // Many controls: on a small window the form scrolls rather than being cut off.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("albumFormScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(form);
    scroll->setMinimumHeight(fontMetrics().height() * 12);

    auto* setRow = new QHBoxLayout;
    auto* setCaption = new QLabel(QStringLiteral("アルバムセット"), this);
    setCaption->setBuddy(setPop_);
    setRow->addWidget(setCaption);
    setRow->addWidget(setPop_);
    setRow->addWidget(setAddButton_);
    setRow->addWidget(setEditButton_);
    setRow->addWidget(setDelButton_);
    setRow->addStretch(1);
    setRow->addWidget(catalogButton_);
    setRow->addWidget(kineloButton_);

    auto* folderRow = new QHBoxLayout;
    auto* folderCaption = new QLabel(QStringLiteral("選択"), this);
    folderCaption->setBuddy(imageFolderPath_);
    folderRow->addWidget(folderCaption);
    folderRow->addWidget(imageFolderPath_, 1);
    folderRow->addWidget(imageFolderSelectButton_);

    formLayout()->addLayout(folderRow);
    formLayout()->addLayout(setRow);
    formLayout()->addWidget(scroll, 3);
    // The drop area gives room to the form.
    if (auto* outer = qobject_cast<QBoxLayout*>(layout())) {
        outer->setStretchFactor(dragDropView(), 1);
        outer->setStretchFactor(formLayout(), 4);
    }

    // --- Tags and actions ---
    catalogButton_->setProperty(kTag, 170);
    imageFolderSelectButton_->setProperty(kTag, 171);
    sendButton()->setProperty(kTag, 172);
    cancelButton()->setProperty(kTag, 173);
    setPop_->setProperty(kTag, 201);
    setAddButton_->setProperty(kTag, 202);
    setEditButton_->setProperty(kTag, 203);
    setDelButton_->setProperty(kTag, 204);
    disconnect(cancelButton(), nullptr, nullptr, nullptr);
    const auto button = [this](QPushButton* b, int tag) {
        connect(b, &QPushButton::clicked, this, [this, tag] { albumAction(tag); });
    };
    button(catalogButton_, 170);
    button(imageFolderSelectButton_, 171);
    button(sendButton(), 172);
    button(cancelButton(), 173);
    button(setAddButton_, 202);
    button(setEditButton_, 203);
    button(setDelButton_, 204);
    connect(setPop_, &QComboBox::activated, this, [this] { albumAction(201); });
    connect(kineloButton_, &QPushButton::clicked, this, [this] {
        Log::outputLn(QStringLiteral("Album（キネロ）"));
        if (albumKineloAction) {
            albumKineloAction();
        }
    });
    kineloButton_->setVisible(false); // shown once the Kinelo sheet is plugged in
    loadAlbumSetPop();

    // The wheel scrolls the form; it changes a choice only in the pop-up the user clicked into.
    for (QComboBox* box : findChildren<QComboBox*>()) {
        box->setFocusPolicy(Qt::StrongFocus);
        box->installEventFilter(this);
    }
}

bool AlbumTabPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        if (auto* box = qobject_cast<QComboBox*>(watched); box != nullptr && !box->hasFocus()) {
            event->ignore(); // on to the scroll area
            return true;
        }
    }
    return OrderTabPage::eventFilter(watched, event);
}

// --- Building ---

QComboBox* AlbumTabPage::makePop(const QString& name, const QString& accessibleName, int tag) {
    auto* pop = new QComboBox(this);
    pop->setObjectName(name);
    pop->setAccessibleName(accessibleName);
    pop->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    pop->setMinimumContentsLength(8);
    pop->setProperty(kTag, tag);
    connect(pop, &QComboBox::activated, this, [this, tag] { albumAction(tag); });
    return pop;
}

QLabel* AlbumTabPage::makeLabel(const QString& name, const QString& text) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setAccessibleName(text);
    return label;
}

QComboBox* AlbumTabPage::makeCountBox(const QString& name, const QString& accessibleName, int tag) {
    auto* box = new QComboBox(this);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(5);
    box->setProperty(kTag, tag);
    connectAction(box, tag);
    return box;
}

void AlbumTabPage::connectAction(QComboBox* box, int tag) {
    connect(box, &QComboBox::activated, this, [this, tag] { albumAction(tag); });
    connect(box->lineEdit(), &QLineEdit::editingFinished, this, [this, tag] {
        if (!refreshing_) {
            albumAction(tag);
        }
    });
}

QComboBox* AlbumTabPage::pop(const QString& objectName) const {
    return pops_.value(objectName).pop;
}

QCheckBox* AlbumTabPage::optionBox(int number) const {
    if (number < 1) {
        return nullptr;
    }
    // Boxes are made on demand, so a catalogue with more options than the form shows keeps them.
    auto* self = const_cast<AlbumTabPage*>(this);
    while (optionBoxes_.size() < number) {
        const int n = static_cast<int>(optionBoxes_.size()) + 1;
        auto* box = new QCheckBox(self);
        box->setObjectName(QStringLiteral("alOptionCb%1").arg(n));
        box->setAccessibleName(QStringLiteral("オプション%1").arg(n));
        box->setHidden(true);
        box->setProperty(kTag, kTagOptionFirst + n);
        connect(box, &QCheckBox::clicked, self,
                [self, n] { self->albumAction(kTagOptionFirst + n); });
        self->optionGrid_->addWidget(box, (n - 1) / 3, (n - 1) % 3);
        self->optionBoxes_.append(box);
        if (n > kOptionBoxes) {
            Log::outputLn(QStringLiteral("オプションの欄を追加（%1）").arg(n));
        }
    }
    return optionBoxes_[number - 1];
}

std::shared_ptr<ProductAlbumData> AlbumTabPage::album() const {
    ProductData* products = ctrl().productData();
    return products != nullptr ? products->albumData() : nullptr;
}

// --- Choices ---

QString AlbumTabPage::popChoice(const QComboBox* pop) {
    const QString title = pop->currentIndex() >= 0 ? pop->currentText() : QString();
    return title.isEmpty() ? QStringLiteral("0") : title;
}

QString AlbumTabPage::albumChoice() const {
    return popChoice(pop(QStringLiteral("alAlbumPop")));
}

QString AlbumTabPage::sizeChoice() const {
    const QString view = popChoice(pop(QStringLiteral("alSizePop")));
    const auto cat = album();
    return cat ? cat->sizeFromViewSize(view) : view;
}

QString AlbumTabPage::pageChoice() const {
    // The combo box stands for the pages only while the page type asks for free entry; a hidden
    // combo box left from another album never speaks for this one.
    if (pageTypeShown_ != 1) {
        const QString text = pageComBox_->currentText().trimmed();
        return text.isEmpty() ? QStringLiteral("0") : text;
    }
    return popChoice(pop(QStringLiteral("alPagePop")));
}

QStringList AlbumTabPage::checkedOptionTitles() const {
    QStringList titles;
    for (QCheckBox* box : optionBoxes_) {
        if (shown(box) && box->isChecked() && !box->text().isEmpty()) {
            titles.append(box->text());
        }
    }
    return titles;
}

QString AlbumTabPage::optionText() const {
    return checkedOptionTitles().join(u',');
}

QString AlbumTabPage::noTitle(const QString& choice) {
    return choice == QStringLiteral("0") ? QStringLiteral("NoTitle") : choice;
}

QString AlbumTabPage::caption(const QString& section, QStringList keys, int zeros,
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

// --- Refilling ---

void AlbumTabPage::popChange(QComboBox* p, const QStringList& titles, QLabel* label,
                             const QString& labelTitle) {
    const QString selected = p->currentText();
    {
        const QSignalBlocker block(p);
        QStringList current;
        for (int i = 0; i < p->count(); ++i) {
            current.append(p->itemText(i));
        }
        if (current != titles) {
            p->clear();
            p->addItems(titles);
        }
        const int at = p->findText(selected, Qt::MatchExactly);
        p->setCurrentIndex(at >= 0 ? at : (titles.isEmpty() ? -1 : 0));
    }
    if (label != nullptr && !labelTitle.isNull()) {
        label->setText(labelTitle);
        label->setAccessibleName(labelTitle);
        p->setAccessibleName(labelTitle);
    }
    const bool hide = titles.isEmpty() || p->currentText() == QStringLiteral("0");
    p->setHidden(hide);
    if (label != nullptr) {
        label->setHidden(hide);
    }
}

void AlbumTabPage::comBoxChange(QComboBox* box, const QStringList& titles, QLabel* label,
                                const QString& labelTitle) {
    const QString text = box->currentText();
    {
        const QSignalBlocker block(box);
        box->clear();
        box->addItems(titles);
        box->setCurrentIndex(-1);
        box->setEditText(text);
    }
    if (label != nullptr && !labelTitle.isNull()) {
        label->setText(labelTitle);
        label->setAccessibleName(labelTitle);
    }
    if (titles.isEmpty()) {
        box->setEditText(QStringLiteral("0"));
    }
    box->setHidden(titles.isEmpty());
    if (label != nullptr) {
        label->setHidden(titles.isEmpty());
    }
}

void AlbumTabPage::refillPop(const QString& popName) {
    const auto cat = album();
    const PopRow row = pops_.value(popName);
    const PopSpec& ps = spec(popName);
    const QString a = albumChoice();
    const QString size = sizeChoice();
    QString section;
    QStringList keys;
    int zeros = 2;
    if (popName == QLatin1String("alSizePop")) {
        section = ProductAlbumData::kSize;
        keys = {a};
        zeros = 1;
    } else if (popName == QLatin1String("alInpMenPop")) {
        section = ProductAlbumData::kInMen;
        keys = {a, size, popChoice(pop(QStringLiteral("alHyouPop")))};
    } else if (popName == QLatin1String("alInpRamiPop")) {
        section = ProductAlbumData::kInUvMen;
        keys = {a, size, popChoice(pop(QStringLiteral("alInpMenPop"))),
                popChoice(pop(QStringLiteral("alHyouPop")))};
    } else if (popName == QLatin1String("alBBStylePop")) {
        section = ProductAlbumData::kBbStyle;
        const QString options = optionText();
        keys = {a, size, popChoice(pop(QStringLiteral("alInpMenPop"))),
                options.isEmpty() ? QStringLiteral("0") : options};
    } else if (popName == QLatin1String("alHyouPop")) {
        section = ProductAlbumData::kHyou;
        keys = {a, size, pageChoice()};
    } else if (popName == QLatin1String("alHyouColPop")) {
        section = ProductAlbumData::kHyouCol;
        keys = {a, size, noTitle(popChoice(pop(QStringLiteral("alHyouPop"))))};
    } else if (popName == QLatin1String("alHyouTempPop")) {
        section = ProductAlbumData::kHyouTemp;
        keys = {a, size, noTitle(popChoice(pop(QStringLiteral("alHyouPop"))))};
    } else if (popName == QLatin1String("alHyouSeColPop")) {
        section = ProductAlbumData::kHyouSeCol;
        keys = {a, size, noTitle(popChoice(pop(QStringLiteral("alHyouPop")))),
                popChoice(pop(QStringLiteral("alHyouTempPop")))};
    } else if (popName == QLatin1String("alBaseColPop")) {
        section = ProductAlbumData::kBaseCol;
        keys = {a, popChoice(pop(QStringLiteral("alHyouColPop")))};
    } else if (popName == QLatin1String("alBoxPop")) {
        section = ProductAlbumData::kBox;
        keys = {a, size};
    } else if (popName == QLatin1String("alBoxColPop")) {
        section = ProductAlbumData::kBoxCol;
        keys = {a, size, noTitle(popChoice(pop(QStringLiteral("alBoxPop"))))};
    } else if (popName == QLatin1String("alMiniPop")) {
        section = ProductAlbumData::kMini;
        keys = {a, size, pageChoice(), popChoice(pop(QStringLiteral("alInpRamiPop")))};
        zeros = 3;
    } else if (popName == QLatin1String("alMiniColPop")) {
        section = ProductAlbumData::kMiniCol;
        keys = {a, size, noTitle(popChoice(pop(QStringLiteral("alMiniPop"))))};
    } else {
        return;
    }
    QStringList titles = cat ? cat->itemsWithKey(section, keys) : QStringList();
    if (popName == QLatin1String("alSizePop") && cat) {
        for (QString& title : titles) {
            title = cat->viewSizeFromSize(title);
        }
    }
    const QString cap =
        row.label != nullptr ? caption(section, keys, zeros, s(ps.defaultCaption)) : QString();
    popChange(row.pop, titles, row.label, cap);
}

void AlbumTabPage::refreshPages() {
    const auto cat = album();
    const QString a = albumChoice();
    const QString size = sizeChoice();
    const int type =
        cat ? typeNumber(cat->labelWithKey(ProductAlbumData::kPage, QStringList{a, size, "0"}), 1)
            : 1;
    const QString cap = caption(ProductAlbumData::kPage, {a, size}, 2, QStringLiteral("ページ数"));
    const QStringList pages =
        cat ? cat->itemsWithKey(ProductAlbumData::kPage, QStringList{a, size}) : QStringList();
    QComboBox* pagePop = pop(QStringLiteral("alPagePop"));
    QLabel* pageLabel = pops_.value(QStringLiteral("alPagePop")).label;
    if ((type == 1) != (pageTypeShown_ == 1)) {
        pageComBox_->setEditText(QStringLiteral("1"));
    }
    pageTypeShown_ = type == 1 ? 1 : 0;
    if (type == 1) {
        pageComBox_->setHidden(true);
        popChange(pagePop, pages, pageLabel, cap);
    } else {
        pagePop->setHidden(true);
        comBoxChange(pageComBox_, pages, pageLabel, cap);
    }
}

void AlbumTabPage::refreshCount() {
    const auto cat = album();
    const QString a = albumChoice();
    const int type =
        cat ? typeNumber(cat->labelWithKey(ProductAlbumData::kOrderNum, QStringList{a}), 1) : 1;
    const QString cap = caption(ProductAlbumData::kOrderNum, {a}, 1, QStringLiteral("数量"));
    const QString unit = caption(ProductAlbumData::kOrderNum, {a}, 2, QStringLiteral("冊"));
    const int mode = type == 1 || type == 2 ? type : 0;
    if (mode != countTypeShown_) {
        if (mode == 2) {
            orderNum2_->setText(QStringLiteral("0"));
        } else {
            orderNum_->setEditText(QStringLiteral("1"));
        }
    }
    countTypeShown_ = mode;
    orderNumLabel_->setText(cap);
    orderNumLabel_->setAccessibleName(cap);
    orderUnitLabel_->setText(unit);
    orderNum_->setHidden(mode != 1);
    orderNum2_->setHidden(mode != 2);
    orderNumLabel_->setHidden(mode == 0);
    orderUnitLabel_->setHidden(mode == 0);
}

void AlbumTabPage::refreshSideCount(QComboBox* owner, QComboBox* count, QLabel* unit) {
    if (!shown(owner) || owner->currentText() == QStringLiteral("-")) {
        count->setEditText(QStringLiteral("1"));
        count->setHidden(true);
        unit->setHidden(true);
        return;
    }
    count->setHidden(false);
    unit->setHidden(false);
    if (count->currentText().trimmed().toLongLong() <= 0) {
        count->setEditText(QStringLiteral("1"));
    }
}

void AlbumTabPage::refreshOptions(const QStringList& keepTicked) {
    const auto cat = album();
    QStringList titles;
    if (cat) {
        titles = cat->itemsWithKey(ProductAlbumData::kOpt,
                                   QStringList{albumChoice(), sizeChoice(), pageChoice(),
                                               popChoice(pop(QStringLiteral("alHyouPop"))),
                                               popChoice(pop(QStringLiteral("alHyouTempPop"))),
                                               popChoice(pop(QStringLiteral("alBaseColPop")))});
    }
    for (QCheckBox* box : optionBoxes_) {
        box->setChecked(false);
        box->setText(QString());
        box->setHidden(true);
    }
    for (int i = 0; i < titles.size(); ++i) {
        QCheckBox* box = optionBox(i + 1);
        box->setText(titles[i]);
        box->setAccessibleName(titles[i]);
        box->setChecked(keepTicked.contains(titles[i]));
        box->setHidden(false);
    }
}

bool AlbumTabPage::orderLimitChecks() {
    bool reset = false;
    const auto alertOver = [this] {
        const auto cat = album();
        const qint64 limit = cat ? cat->orderLimit(albumChoice()) : 0;
        Tool::beep(QStringLiteral("Basso"));
        Tool::alertWithMsg(QStringLiteral("注文数上限は %1 です").arg(limit),
                           QStringLiteral("%1 以下の数量を入力してください").arg(limit));
    };
    if (shown(orderNum_)) {
        if (isOrderLimitCheck(orderNum_->currentText())) {
            alertOver();
            orderNum_->setEditText(QStringLiteral("1"));
            reset = true;
        }
    } else if (shown(orderNum2_)) {
        if (isOrderLimitCheck(orderNum2_->text())) {
            alertOver();
            orderNum2_->setText(QStringLiteral("0"));
            reset = true;
        }
    }
    for (QComboBox* count : {orderBoxNum_, orderMiniNum_}) {
        if (shown(count) && isOrderLimitCheck(count->currentText())) {
            alertOver();
            count->setEditText(QStringLiteral("1"));
            reset = true;
        }
    }
    return reset;
}

bool AlbumTabPage::isOrderLimitCheck(const QString& count) const {
    const auto cat = album();
    const qint64 limit = cat ? cat->orderLimit(albumChoice()) : 0;
    return limit != 0 && count.trimmed().toLongLong() > limit;
}

void AlbumTabPage::albumUiRefresh() {
    const bool wasRefreshing = refreshing_;
    refreshing_ = true;
    refillPop(QStringLiteral("alSizePop"));
    refreshPages();
    refreshCount();
    for (const char* name :
         {"alInpMenPop", "alInpRamiPop", "alBBStylePop", "alHyouPop", "alHyouColPop",
          "alHyouTempPop", "alHyouSeColPop", "alBaseColPop", "alBoxPop"}) {
        refillPop(s(name));
    }
    refreshSideCount(pop(QStringLiteral("alBoxPop")), orderBoxNum_, orderUnitBoxLabel_);
    refillPop(QStringLiteral("alBoxColPop"));
    refillPop(QStringLiteral("alMiniPop"));
    refreshSideCount(pop(QStringLiteral("alMiniPop")), orderMiniNum_, orderUnitMiniLabel_);
    refillPop(QStringLiteral("alMiniColPop"));
    refreshOptions(checkedOptionTitles());
    orderLimitChecks();
    refreshing_ = wasRefreshing;
}

// --- Record ---

QVariantMap AlbumTabPage::nowAlbumUiDic() const {
    QVariantMap dic;
    const auto cat = album();
    for (const PopSpec& ps : kPops) {
        const QComboBox* p = pop(s(ps.pop));
        dic.insert(s(ps.key), p->count() == 0 ? QString() : p->currentText());
        if (ps.labelKey != nullptr) {
            const QLabel* label = pops_.value(s(ps.pop)).label;
            dic.insert(s(ps.labelKey), shown(label) ? label->text() : QString());
        }
    }
    if (pageTypeShown_ != 1) {
        const QString text = pageComBox_->currentText().trimmed();
        dic.insert(QStringLiteral("AlPagePop"), text.isEmpty() ? QStringLiteral("0") : text);
        const QLabel* label = pops_.value(QStringLiteral("alPagePop")).label;
        dic.insert(QStringLiteral("AlPageLabel"), shown(label) ? label->text() : QString());
    }
    QString count;
    if (shown(orderNum_)) {
        count = orderNum_->currentText().trimmed();
    } else if (!shown(orderNum2_)) {
        count = QStringLiteral("1");
    } else {
        count = orderNum2_->text().trimmed();
    }
    dic.insert(QStringLiteral("AlOrderNum"), count.isEmpty() ? QStringLiteral("0") : count);
    const auto sideCount = [](const QComboBox* box) {
        const QString text = box->currentText().trimmed();
        return !shown(box) || text.isEmpty() ? QStringLiteral("0") : text;
    };
    dic.insert(QStringLiteral("AlOrderBoxNum"), sideCount(orderBoxNum_));
    dic.insert(QStringLiteral("AlOrderMiniNum"), sideCount(orderMiniNum_));
    dic.insert(SettingsKey::AlOptoinArray, checkedOptionTitles());
    dic.insert(QStringLiteral("AlOrderMemo"), orderMemo_->toPlainText());
    const auto labelText = [](const QLabel* label) {
        return shown(label) ? label->text() : QString();
    };
    dic.insert(QStringLiteral("AlOrderNumLabel"), labelText(orderNumLabel_));
    dic.insert(QStringLiteral("AlOrderUnitLabel"), labelText(orderUnitLabel_));
    dic.insert(QStringLiteral("AlOrderUnitBoxLabel"), labelText(orderUnitBoxLabel_));
    dic.insert(QStringLiteral("AlOrderUnitMiniLabel"), labelText(orderUnitMiniLabel_));
    const QString a = albumChoice();
    const QString size = sizeChoice();
    dic.insert(QStringLiteral("AlBoxColLabel"),
               caption(ProductAlbumData::kBoxCol,
                       {a, size, popChoice(pop(QStringLiteral("alBoxPop")))}, 2,
                       QStringLiteral("ボックスカラー")));
    dic.insert(QStringLiteral("AlMiniColLabel"),
               caption(ProductAlbumData::kMiniCol,
                       {a, size, popChoice(pop(QStringLiteral("alMiniPop")))}, 2,
                       QStringLiteral("ミニブックカラー")));
    Q_UNUSED(cat);
    return dic;
}

void AlbumTabPage::saveAlbumUiInfo() {
    // Before the set-up the form is empty: it must not replace the record it will restore.
    if (!initialised_) {
        return;
    }
    UserDef::setAlbumDic(nowAlbumUiDic());
}

void AlbumTabPage::loadAlbumUiInfo() {
    if (const auto dic = UserDef::albumDic()) {
        albumUiSetupFromDic(*dic);
    }
}

void AlbumTabPage::albumUiSetupFromDic(const QVariantMap& dic) {
    const bool wasRefreshing = refreshing_;
    refreshing_ = true;
    const auto text = [&dic](const char* key) { return dic.value(s(key)).toString(); };
    const auto select = [](QComboBox* p, const QString& title) {
        const int at = p->findText(title, Qt::MatchExactly);
        if (at >= 0) {
            const QSignalBlocker block(p);
            p->setCurrentIndex(at);
        }
    };
    const auto refillSelect = [&](const char* popName, const char* key) {
        refillPop(s(popName));
        select(pop(s(popName)), text(key));
        // The hide rule follows the selection.
        QComboBox* p = pop(s(popName));
        QLabel* label = pops_.value(s(popName)).label;
        const bool hide = p->count() == 0 || p->currentText() == QStringLiteral("0");
        p->setHidden(hide);
        if (label != nullptr) {
            label->setHidden(hide);
        }
    };
    select(pop(QStringLiteral("alAlbumPop")), text("AlAlbumPop"));
    refillSelect("alSizePop", "AlSizePop");
    refreshPages();
    if (pageTypeShown_ == 1) {
        select(pop(QStringLiteral("alPagePop")), text("AlPagePop"));
        refreshPages();
    } else {
        pageComBox_->setEditText(text("AlPagePop"));
    }
    refreshCount();
    if (shown(orderNum_)) {
        orderNum_->setEditText(QStringLiteral("1"));
    } else if (shown(orderNum2_)) {
        orderNum2_->setText(QStringLiteral("0"));
    }
    refillSelect("alBaseColPop", "AlBaseColPop");
    refillSelect("alInpMenPop", "AlInpMenPop");
    refillSelect("alInpRamiPop", "AlInpRamiPop");
    refillSelect("alBBStylePop", "AlBBStylePop");
    refillSelect("alHyouPop", "AlHyouPop");
    refillSelect("alHyouColPop", "AlHyouColPop");
    refillSelect("alHyouTempPop", "AlHyouTempPop");
    refillSelect("alHyouSeColPop", "AlHyouSeColPop");
    // The base-paper colour depends on the variation, which is only now restored.
    refillSelect("alBaseColPop", "AlBaseColPop");
    refillSelect("alBoxPop", "AlBoxPop");
    refreshSideCount(pop(QStringLiteral("alBoxPop")), orderBoxNum_, orderUnitBoxLabel_);
    if (shown(orderBoxNum_)) {
        orderBoxNum_->setEditText(text("AlOrderBoxNum"));
    }
    refillSelect("alBoxColPop", "AlBoxColPop");
    refillSelect("alMiniPop", "AlMiniPop");
    refreshSideCount(pop(QStringLiteral("alMiniPop")), orderMiniNum_, orderUnitMiniLabel_);
    if (shown(orderMiniNum_)) {
        orderMiniNum_->setEditText(text("AlOrderMiniNum"));
    }
    refillSelect("alMiniColPop", "AlMiniColPop");
    if (dic.contains(SettingsKey::AlOptoinArray)) {
        refreshOptions(dic.value(SettingsKey::AlOptoinArray).toStringList());
    } else {
        refreshOptions(checkedOptionTitles());
    }
    refreshing_ = wasRefreshing;
}

// --- Set-up and refresh ---

void AlbumTabPage::albumUIInit() {
    breadcrumb("albumUIInit");
    const auto cat = album();
    popChange(pop(QStringLiteral("alAlbumPop")), cat ? cat->itemsAlbum() : QStringList(), nullptr,
              QString());
    breadcrumb("albumUIInit2");
    if (UserDef::stringForKey(QStringLiteral("AlbumSlectionSave")) == QStringLiteral("ON")) {
        loadAlbumUiInfo();
    }
    breadcrumb("albumUIInit3");
    albumUiRefresh();
    initialised_ = true;
    breadcrumb("albumUIInit end");
}

bool AlbumTabPage::isCharInputProduct() const {
    const auto cat = album();
    if (!cat) {
        return false;
    }
    for (const char* name : {"alHyouPop", "alHyouColPop", "alHyouTempPop", "alHyouSeColPop",
                             "alBoxPop", "alMiniPop"}) {
        const QComboBox* p = pop(s(name));
        if (p->count() > 0 && cat->isPutNameDateProduct(p->currentText())) {
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

bool AlbumTabPage::isAlbumKineloMovFileOnly() const {
    const QString a = pop(QStringLiteral("alAlbumPop"))->currentText();
    return a == QStringLiteral("RAW現像") || a == QStringLiteral("ポストカード");
}

void AlbumTabPage::albumDirectOrderNumClear() {
    if (shown(orderNum2_)) {
        orderNum2_->setText(QStringLiteral("0"));
    }
}

void AlbumTabPage::setKineloButtonAllowed(bool allowed) {
    kineloAllowed_ = allowed;
    kineloButton_->setVisible(kineloAllowed_ && static_cast<bool>(albumKineloAction));
}

void AlbumTabPage::setFormEnabled(bool enabled) {
    for (const PopRow& row : std::as_const(pops_)) {
        row.pop->setEnabled(enabled);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{
             pageComBox_, orderNum_, orderNum2_, orderBoxNum_, orderMiniNum_, catalogButton_}) {
        w->setEnabled(enabled);
    }
    for (QCheckBox* box : optionBoxes_) {
        box->setEnabled(enabled);
    }
    orderMemo_->setReadOnly(!enabled);
}

void AlbumTabPage::albumViewRefresh() {
    AppCtrl& c = ctrl();
    albumUiRefresh();

    imageFolderPath_->setText(c.selectInfoOf(OrderTab::Album));
    imageFileNum()->setText(c.fileCountTextOf(OrderTab::Album));
    if (fileInfoTextView_->toPlainText() != c.fileInfoTextOf(OrderTab::Album)) {
        fileInfoTextView_->setPlainText(c.fileInfoTextOf(OrderTab::Album));
    }
    const bool hasFiles = !c.selectFilesOf(OrderTab::Album).isEmpty();
    const bool pageChosen = pop(QStringLiteral("alPagePop"))->currentText() != QStringLiteral("-");

    bool form = false;
    bool send = false;
    bool cancel = false;
    QString reason;
    const FormState state = formState(reason);
    if (state == FormState::JobRunning) {
        cancel = true;
    } else if (state != FormState::Closed) {
        form = true;
        send = hasFiles && pageChosen;
        if (!hasFiles) {
            reason = QStringLiteral("アルバムにする画像をドロップしてください");
        } else if (!pageChosen) {
            reason = QStringLiteral("ページ数を選択してください");
        }
    }
    const bool kineloSend = send;
    if (send && UserDef::isAlbumKineloFile() && isAlbumKineloMovFileOnly() &&
        UserDef::albumKinloOrderType() <= 1) {
        send = false;
        reason = QStringLiteral("この商品のキネロは動画と写真の登録が必要です");
    }
    setFormEnabled(form);
    imageFolderSelectButton_->setEnabled(form && !c.isFotoFusionMode());
    cancelButton()->setEnabled(cancel);
    setSendEnabled(send, reason);
    kineloButton_->setEnabled(kineloSend);
    const QString kineloTitle = UserDef::isAlbumKineloFile()
                                    ? QStringLiteral("キネロファイル登録済み")
                                    : QStringLiteral("キネロのお申し込み");
    kineloButton_->setText(kineloTitle);
    kineloButton_->setAccessibleName(kineloTitle);
    kineloButton_->setVisible(kineloAllowed_ && static_cast<bool>(albumKineloAction));
    updateDropHint();
    saveAlbumUiInfo();
    albumSetPopSelect();
}

void AlbumTabPage::normaliseCounts() {
    const bool wasRefreshing = refreshing_;
    refreshing_ = true;
    orderNum_->setEditText(AppCtrl::orderNumCheckAndConvert(orderNum_->currentText()));
    if (shown(pageComBox_)) {
        pageComBox_->setEditText(AppCtrl::orderNumCheckAndConvert(pageComBox_->currentText()));
    }
    orderNum2_->setText(AppCtrl::orderNumCheckAndConvert2(orderNum2_->text()));
    refreshing_ = wasRefreshing;
}

void AlbumTabPage::albumAction(int tag) {
    if (refreshing_) {
        return;
    }
    normaliseCounts();
    Log::outputLn(QStringLiteral("Album（%1）").arg(tag));
    switch (tag) {
    case 170:
        openCatalogPage();
        break;
    case 171:
        ctrl().fileIntake().imageFolderSelect(window());
        break;
    case 172:
        sendAction();
        return;
    case 173:
        ctrl().cancelBtJob();
        break;
    case 201:
        selectAlbumSetToUi();
        break;
    case 202:
        addAlbumSetButtonJob();
        return;
    case 203:
        editAlbumSetButtonJob();
        return;
    case 204:
        delAlbumSetButtonJob();
        return;
    case 205:
        AlbumSet::exportAlbumSet();
        break;
    case 206:
        AlbumSet::importAlbumSet();
        loadAlbumSetPop();
        break;
    default:
        break;
    }
    ctrl().comViewRefresh();
}

void AlbumTabPage::openCatalogPage() {
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
        return;
    }
    Log::outputLn(QStringLiteral("カタログを開く（%1）").arg(url.toString()));
    QDesktopServices::openUrl(url);
}

void AlbumTabPage::sendAction() {
    // Send pressed from the keyboard while a count is still being typed: the count has not been
    // checked yet. An order never goes with a count the limit replaced.
    if (orderLimitChecks()) {
        ctrl().comViewRefresh();
        return;
    }
    if (shown(orderNum2_) && orderNum2_->text() == QStringLiteral("0")) {
        Tool::beep(QStringLiteral("Basso"));
        Tool::alertWithMsg(QStringLiteral("数量を入力してください"),
                           QStringLiteral("1以上の数量を入力してください"));
        ctrl().comViewRefresh();
        return;
    }
    if (albumChoice() == QStringLiteral("ソレイナ") &&
        pop(QStringLiteral("alMiniPop"))->currentText() == QStringLiteral("-")) {
        Tool::beep(QStringLiteral("Basso"));
        if (!Tool::alertOkNgWithMsg(QStringLiteral("ミニ指定がありません。"),
                                    QStringLiteral("ミニ指定がありません。このまま送信しますか？"),
                                    QStringLiteral("はい"), QStringLiteral("いいえ"))) {
            ctrl().comViewRefresh();
            return;
        }
    }
    UserDef::setExecuteButton(QStringLiteral("BtSend"));
    ctrl().comViewRefresh();
    ctrl().executeOrderActionJob();
}

// --- Album sets ---

void AlbumTabPage::loadAlbumSetPop() {
    {
        const QSignalBlocker block(setPop_);
        setPop_->clear();
        setPop_->addItem(QStringLiteral("-"));
        setPop_->addItems(AlbumSet::titles());
        setPop_->setCurrentIndex(0);
    }
    albumSetPopSelect();
}

void AlbumTabPage::albumSetPopSelect() {
    AppCtrl& c = ctrl();
    const bool off = c.prefWindowVisible() || !AppCtrl::isCustomerInfo() || c.isJobExecuting();
    setPop_->setEnabled(!off);
    setAddButton_->setEnabled(!off);
    setEditButton_->setEnabled(!off && setPop_->currentIndex() >= 1);
    setDelButton_->setEnabled(!off && setPop_->currentIndex() >= 1);
    UserDef::setObject(setPop_->count() == 0 ? QString() : setPop_->currentText(),
                       SettingsKey::AlbumSetName);
}

void AlbumTabPage::selectAlbumSetToUi() {
    const int k = setPop_->currentIndex();
    if (k < 1) {
        return;
    }
    if (const auto dic = AlbumSet::albumSetDic(k - 1)) {
        albumUiSetupFromDic(*dic);
    }
}

void AlbumTabPage::addAlbumSetButtonJob() {
    showAlbumSetSheet(QStringLiteral("現在のアルバム商品選択状態をセットとして登録します"),
                      QStringLiteral("セットの名称を入力してください"), QStringLiteral("登録"),
                      QString(), true);
}

void AlbumTabPage::editAlbumSetButtonJob() {
    showAlbumSetSheet(QStringLiteral("登録済みセットの名称を変更します"),
                      QStringLiteral("セットの名称を編集してください"), QStringLiteral("名称変更"),
                      setPop_->currentText(), true);
}

void AlbumTabPage::delAlbumSetButtonJob() {
    showAlbumSetSheet(QStringLiteral("選択中のセットを削除します。よろしいですか？"),
                      QStringLiteral("削除するセット名称"), QStringLiteral("削除"),
                      setPop_->currentText(), false);
}

void AlbumTabPage::showAlbumSetSheet(const QString& msg1, const QString& msg2,
                                     const QString& okTitle, const QString& name, bool editable) {
    ctrl().menuUseOff();
    auto* sheet = new QDialog(window());
    sheet->setObjectName(QStringLiteral("albumSetNameEditWindow"));
    sheet->setWindowTitle(QStringLiteral("アルバムセット"));
    sheet->setAccessibleName(QStringLiteral("アルバムセット"));
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    auto* m1 = new QLabel(msg1, sheet);
    m1->setObjectName(QStringLiteral("albumSetMsg1TextField"));
    m1->setAccessibleName(msg1);
    auto* m2 = new QLabel(msg2, sheet);
    m2->setObjectName(QStringLiteral("albumSetMsg2TextField"));
    m2->setAccessibleName(msg2);
    auto* field = new QLineEdit(name, sheet);
    field->setObjectName(QStringLiteral("albumSetNameTextField"));
    field->setAccessibleName(QStringLiteral("セットの名称"));
    field->setReadOnly(!editable);
    field->setMinimumWidth(fontMetrics().horizontalAdvance(QString(24, QChar(0x3042))));
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), sheet);
    cancel->setObjectName(QStringLiteral("albumSetCancelButton"));
    cancel->setAccessibleName(QStringLiteral("キャンセル"));
    cancel->setProperty(kTag, 0);
    auto* ok = new QPushButton(okTitle, sheet);
    ok->setObjectName(QStringLiteral("albumSetOkButton"));
    ok->setAccessibleName(okTitle);
    ok->setProperty(kTag, 1);
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    auto* box = new QVBoxLayout(sheet);
    box->addWidget(m1);
    box->addWidget(m2);
    box->addWidget(field);
    box->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, [this, field] {
        if (!field->text().isEmpty()) {
            albumSetSheetDidEnd(true);
        }
    });
    connect(cancel, &QPushButton::clicked, this, [this] { albumSetSheetDidEnd(false); });
    // Esc is the cancel button.
    connect(sheet, &QDialog::rejected, this, [this, sheet] {
        if (nameSheet_ == sheet) {
            albumSetSheetDidEnd(false);
        }
    });
    nameSheet_ = sheet;
    sheet->open();
    field->setFocus();
}

void AlbumTabPage::albumSetSheetDidEnd(bool ok) {
    QPointer<QDialog> sheet = nameSheet_;
    if (!sheet) {
        return;
    }
    nameSheet_.clear();
    const QString okTitle =
        sheet->findChild<QPushButton*>(QStringLiteral("albumSetOkButton"))->text();
    const QString name =
        sheet->findChild<QLineEdit*>(QStringLiteral("albumSetNameTextField"))->text();
    sheet->close();
    const int k = setPop_->currentIndex();
    if (ok && okTitle == QStringLiteral("登録")) {
        if (AlbumSet::isAlbumSetTitleNG(name)) {
            Log::outputLn(QStringLiteral("セット登録--タイトルNG: %1").arg(name));
            Tool::beep(QStringLiteral("Basso"));
            showAlbumSetSheet(QStringLiteral("現在のアルバム商品選択状態をセットとして登録します"),
                              QStringLiteral("登録済の名称です。違う名称で登録して下さい"),
                              QStringLiteral("登録"), name, true);
            return;
        }
        Log::outputLn(QStringLiteral("セット登録: %1").arg(name));
        AlbumSet::addAlbumSet(name, nowAlbumUiDic());
        loadAlbumSetPop();
    } else if (ok && okTitle == QStringLiteral("名称変更")) {
        if (AlbumSet::isAlbumSetTitleNG(name)) {
            Log::outputLn(QStringLiteral("セット名称変更--タイトルNG: %1").arg(name));
            Tool::beep(QStringLiteral("Basso"));
            showAlbumSetSheet(QStringLiteral("登録済みセットの名称を変更します"),
                              QStringLiteral("登録済の名称です。違う名称に変更して下さい"),
                              QStringLiteral("名称変更"), name, true);
            return;
        }
        Log::outputLn(QStringLiteral("セット名称変更: %1").arg(name));
        AlbumSet::modAlbumSetName(name, k - 1);
        loadAlbumSetPop();
    } else if (ok && okTitle == QStringLiteral("削除")) {
        Log::outputLn(QStringLiteral("セット削除: %1").arg(setPop_->currentText()));
        AlbumSet::delAlbumSet(k - 1);
        loadAlbumSetPop();
    }
    ctrl().menuUseOn();
    ctrl().comViewRefresh();
}
