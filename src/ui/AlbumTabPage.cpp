#include "ui/AlbumTabPage.h"

#include "app/AlbumSet.h"
#include "app/AppCtrl.h"
#include "product/ProductData.h"
#include "settings/Log.h"
#include "settings/UserDef.h"
#include "ui/DragDropScrollView.h"

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
#include <QVBoxLayout>

namespace {

const char kTag[] = "tag";

// The pop-ups of the page and their tags. A pop-up's caption is named like it ("alSizeLabel"), its
// record key in the form is its name with a capital first letter ("AlSizePop").
const std::pair<const char*, int> kPops[] = {
    {"alAlbumPop", 180},    {"alSizePop", 181},      {"alPagePop", 182},    {"alInpMenPop", 186},
    {"alInpRamiPop", 187},  {"alBBStylePop", 188},   {"alHyouPop", 189},    {"alHyouColPop", 190},
    {"alHyouTempPop", 191}, {"alHyouSeColPop", 192}, {"alBaseColPop", 193}, {"alBoxPop", 194},
    {"alBoxColPop", 196},   {"alMiniPop", 197},      {"alMiniColPop", 199},
};

// Tags of the form's own controls: they only refresh.
constexpr int kTagPageCombo = 183;
constexpr int kTagOrderNum = 184;
constexpr int kTagOrderNum2 = 185;
constexpr int kTagBoxNum = 195;
constexpr int kTagMiniNum = 198;
constexpr int kTagOptionFirst = 210;

QString s(const char* text) {
    return QString::fromUtf8(text);
}

// The form's scroll area asks for the whole height of the form it shows, however few rows the
// chosen product leaves (QScrollArea caps and caches that wish, and a fixed floor left grey
// under a short form), and on a small window gives way down to a few lines, scrolling the rest.
class FormScrollArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;

    QSize sizeHint() const override {
        const int frame = 2 * frameWidth();
        const QSize content = widget() != nullptr ? widget()->sizeHint() : QSize();
        return content + QSize(frame, frame);
    }
    QSize minimumSizeHint() const override {
        return {QScrollArea::minimumSizeHint().width(),
                std::min(sizeHint().height(), fontMetrics().height() * 8)};
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Rows shown or hidden in the form: the page lays the areas out again.
        if (watched == widget() && event->type() == QEvent::LayoutRequest) {
            updateGeometry();
        }
        return QScrollArea::eventFilter(watched, event);
    }
};

QStringList countSuggestions() {
    QStringList list;
    for (int i = 1; i <= 10; ++i) {
        list.append(QString::number(i));
    }
    return list;
}

QStringList itemTexts(const QComboBox* box) {
    QStringList list;
    for (int i = 0; i < box->count(); ++i) {
        list.append(box->itemText(i));
    }
    return list;
}

// Shows a caption; its text is what a screen reader reads.
void showCaption(QLabel* label, const QString& text, bool hidden) {
    if (label == nullptr) {
        return;
    }
    label->setText(text);
    label->setHidden(hidden);
}

} // namespace

AlbumTabPage::AlbumTabPage(AppCtrl& ctrl, QWidget* parent)
    : OrderTabPage(OrderTab::Album, ctrl, QStringLiteral("albumSendButton"), parent),
      form_(new AlbumForm(
          [&ctrl] {
              ProductData* products = ctrl.productData();
              return products != nullptr ? products->albumData() : nullptr;
          },
          this)) {
    // --- Selection ---
    makeSelectionControls(imageFolderPath_, imageFolderSelectButton_, fileInfoTextView_);

    // --- Catalogue and Kinelo ---
    catalogButton_ = new QPushButton(QStringLiteral("カタログを見る"), this);
    catalogButton_->setObjectName(QStringLiteral("albumCatalogButton"));
    catalogButton_->setAccessibleName(QStringLiteral("カタログを見る"));
    kineloButton_ = new QPushButton(QStringLiteral("キネロのお申し込み"), this);
    kineloButton_->setObjectName(QStringLiteral("albumKineloButton"));
    kineloButton_->setAccessibleName(QStringLiteral("キネロのお申し込み"));

    // --- The form ---
    for (const auto& [name, tag] : kPops) {
        PopRow row;
        row.key = s(name);
        row.key[0] = row.key[0].toUpper();
        const AlbumForm::Pop& p = form_->pop(row.key);
        row.pop = makePop(s(name), p.caption, tag);
        if (p.hasCaption) {
            row.label = makeLabel(s(name).replace(QStringLiteral("Pop"), QStringLiteral("Label")),
                                  p.caption);
        }
        pops_.append(row);
    }
    using Field = AlbumForm::CountField;
    pageComBox_ = makeCountBox(QStringLiteral("alPageComBox"), QStringLiteral("ページ数"),
                               kTagPageCombo, Field::Page);
    pageComBox_->setHidden(true);
    orderNum_ = makeCountBox(QStringLiteral("alOrderNum"), QStringLiteral("数量"), kTagOrderNum,
                             Field::Order);
    orderNum2_ = new QLineEdit(QStringLiteral("0"), this);
    orderNum2_->setObjectName(QStringLiteral("alOrderNum2"));
    orderNum2_->setAccessibleName(QStringLiteral("数量"));
    orderNum2_->setProperty(kTag, kTagOrderNum2);
    orderNum2_->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000")) * 2);
    orderNum2_->setHidden(true);
    connect(orderNum2_, &QLineEdit::editingFinished, this, [this] {
        if (!refreshing_) {
            form_->setCountText(AlbumForm::CountField::OrderDirect, orderNum2_->text());
            albumAction(kTagOrderNum2);
        }
    });
    orderNumLabel_ = makeLabel(QStringLiteral("alOrderNumLabel"), QStringLiteral("数量"));
    orderUnitLabel_ = makeLabel(QStringLiteral("alOrderUnitLabel"), QStringLiteral("冊"));
    orderBoxNum_ = makeCountBox(QStringLiteral("alOrderBoxNum"), QStringLiteral("ボックスの数量"),
                                kTagBoxNum, Field::Box);
    orderUnitBoxLabel_ = makeLabel(QStringLiteral("alOrderUnitBoxLabel"), QStringLiteral("個"));
    orderMiniNum_ = makeCountBox(QStringLiteral("alOrderMiniNum"), QStringLiteral("ミニの数量"),
                                 kTagMiniNum, Field::Mini);
    orderUnitMiniLabel_ = makeLabel(QStringLiteral("alOrderUnitMiniLabel"), QStringLiteral("冊"));
    for (QLabel* unit : {orderUnitLabel_, orderUnitBoxLabel_, orderUnitMiniLabel_}) {
        unit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        // A unit is one full-width character; its glyph is wider than the advance the label
        // measures, and at the right edge of the form it would be cut.
        unit->setMinimumWidth(fontMetrics().height());
    }

    orderMemo_ = new QPlainTextEdit(this);
    orderMemo_->setObjectName(QStringLiteral("alOrderMemo"));
    orderMemo_->setAccessibleName(QStringLiteral("注文メモ"));
    orderMemo_->setTabChangesFocus(true);
    orderMemo_->setMaximumHeight(fontMetrics().height() * 4);
    connect(orderMemo_, &QPlainTextEdit::textChanged, this, [this] {
        if (!refreshing_) {
            form_->setMemo(orderMemo_->toPlainText());
            form_->saveAlbumUiInfo();
        }
    });

    // Two columns of captioned rows; a hidden control takes its caption with it. A row of several
    // controls is a layout, not a holder widget: every caption is then a sibling of the control
    // it names, which is where a screen reader looks for it.
    const auto row = [](QGridLayout* grid, int r, QLabel* label, QWidget* field, QLayout* line) {
        if (label != nullptr) {
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            label->setBuddy(field);
            grid->addWidget(label, r, 0);
        }
        if (line != nullptr) {
            grid->addLayout(line, r, 1);
        } else {
            grid->addWidget(field, r, 1);
        }
    };
    const auto line = [](std::initializer_list<QWidget*> widgets) {
        auto* box = new QHBoxLayout;
        box->setContentsMargins(0, 0, 0, 0);
        for (QWidget* w : widgets) {
            box->addWidget(w, qobject_cast<QComboBox*>(w) != nullptr &&
                                      w->objectName().endsWith(QStringLiteral("Pop"))
                                  ? 1
                                  : 0);
        }
        box->addStretch(0);
        return box;
    };
    const auto p = [this](const char* name) { return pop(s(name)); };
    const auto l = [this](const char* name) {
        return findChild<QLabel*>(s(name).replace(QStringLiteral("Pop"), QStringLiteral("Label")));
    };
    // The box and mini counts are captioned like the album's own count; the colours of box and
    // mini carry the caption the catalogue gives them.
    orderBoxNumLabel_ = makeLabel(QStringLiteral("alOrderBoxNumLabel"), QStringLiteral("数量"));
    orderMiniNumLabel_ = makeLabel(QStringLiteral("alOrderMiniNumLabel"), QStringLiteral("数量"));
    orderBoxNumLabel_->setBuddy(orderBoxNum_);
    orderMiniNumLabel_->setBuddy(orderMiniNum_);
    boxColLabel_ = makeLabel(QStringLiteral("alBoxColLabel"), QStringLiteral("ボックスカラー"));
    miniColLabel_ = makeLabel(QStringLiteral("alMiniColLabel"), QStringLiteral("ミニブックカラー"));

    auto* left = new QGridLayout;
    auto* right = new QGridLayout;
    for (QGridLayout* g : {left, right}) {
        g->setColumnStretch(1, 1);
        g->setVerticalSpacing(4);
    }
    row(left, 0, l("alAlbumPop"), p("alAlbumPop"), nullptr);
    row(left, 1, l("alSizePop"), p("alSizePop"), nullptr);
    row(left, 2, l("alPagePop"), p("alPagePop"), line({p("alPagePop"), pageComBox_}));
    row(left, 3, orderNumLabel_, orderNum_, line({orderNum_, orderNum2_, orderUnitLabel_}));
    row(left, 4, l("alInpMenPop"), p("alInpMenPop"), nullptr);
    row(left, 5, l("alInpRamiPop"), p("alInpRamiPop"), nullptr);
    row(left, 6, l("alBBStylePop"), p("alBBStylePop"), nullptr);
    row(left, 7, l("alBaseColPop"), p("alBaseColPop"), nullptr);
    row(right, 0, l("alHyouPop"), p("alHyouPop"), nullptr);
    row(right, 1, l("alHyouColPop"), p("alHyouColPop"), nullptr);
    row(right, 2, l("alHyouTempPop"), p("alHyouTempPop"), nullptr);
    row(right, 3, l("alHyouSeColPop"), p("alHyouSeColPop"), nullptr);
    row(right, 4, l("alBoxPop"), p("alBoxPop"),
        line({p("alBoxPop"), orderBoxNumLabel_, orderBoxNum_, orderUnitBoxLabel_}));
    row(right, 5, boxColLabel_, p("alBoxColPop"), nullptr);
    row(right, 6, l("alMiniPop"), p("alMiniPop"),
        line({p("alMiniPop"), orderMiniNumLabel_, orderMiniNum_, orderUnitMiniLabel_}));
    row(right, 7, miniColLabel_, p("alMiniColPop"), nullptr);
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

    auto* form = new QWidget(this);
    form->setObjectName(QStringLiteral("albumForm"));
    auto* formGrid = new QGridLayout(form);
    formGrid->setContentsMargins(0, 0, 0, 0);
    formGrid->addLayout(left, 0, 0, 1, 2);
    formGrid->addLayout(right, 0, 2, 1, 2);
    formGrid->addWidget(optionCaption, 1, 0);
    formGrid->addWidget(optionFrame, 1, 1, 1, 3);
    formGrid->setColumnStretch(1, 1);
    formGrid->setColumnStretch(3, 1);
    formGrid->setRowStretch(3, 1);

    // Many controls: on a small window the form scrolls rather than being cut off.
    auto* scroll = new FormScrollArea(this);
    scroll->setObjectName(QStringLiteral("albumFormScroll"));
    scroll->setAccessibleName(QStringLiteral("注文内容"));
    // Not a stop of its own: Tab goes straight to the controls, and the area scrolls to show
    // the one with the focus.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(form);
    // The form lies on the page itself, not on a box of another grey.
    scroll->viewport()->setAutoFillBackground(false);
    form->setAutoFillBackground(false);

    QHBoxLayout* setRow = makeAlbumSetRow();
    setRow->addStretch(1);
    setRow->addWidget(catalogButton_);
    setRow->addWidget(kineloButton_);

    auto* own = new QVBoxLayout;
    own->setContentsMargins(0, 0, 0, 0);
    own->addLayout(setRow);
    own->addWidget(scroll, 1);
    layOutSelection(imageFolderPath_, imageFolderSelectButton_, fileInfoTextView_, own, orderMemo_);
    // The set row and the left column of the form stand in one caption column with 選択 and メモ.
    addCaptions({qobject_cast<QLabel*>(setRow->itemAt(0)->widget()), l("alAlbumPop"),
                 l("alSizePop"), l("alPagePop"), orderNumLabel_, l("alInpMenPop"),
                 l("alInpRamiPop"), l("alBBStylePop"), l("alBaseColPop"), optionCaption});
    // The form takes the height it needs and no more (the rest goes to the list of files above);
    // on a small window it scrolls.
    scroll->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);

    // --- Tags and actions ---
    catalogButton_->setProperty(kTag, 170);
    imageFolderSelectButton_->setProperty(kTag, 171);
    sendButton()->setProperty(kTag, 172);
    cancelButton()->setProperty(kTag, 173);
    // Only the base page's click handler goes; dropping every connection would also cut the
    // accessibility cache's destroyed() hook and leave a stale interface behind.
    disconnect(cancelButton(), &QPushButton::clicked, this, nullptr);
    const auto button = [this](QPushButton* b, int tag) {
        connect(b, &QPushButton::clicked, this, [this, tag] { albumAction(tag); });
    };
    button(catalogButton_, 170);
    button(imageFolderSelectButton_, 171);
    button(sendButton(), 172);
    button(cancelButton(), 173);
    connect(kineloButton_, &QPushButton::clicked, this, [this] {
        Log::outputLn(QStringLiteral("Album（キネロ）"));
        if (albumKineloAction) {
            albumKineloAction();
        }
    });
    kineloButton_->setVisible(false); // shown once the Kinelo sheet is plugged in
    connect(form_, &AlbumForm::formChanged, this, &AlbumTabPage::present);

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
    QString key = name;
    key[0] = key[0].toUpper();
    connect(pop, &QComboBox::activated, this, [this, pop, key, tag](int index) {
        form_->choose(key, pop->itemText(index));
        albumAction(tag);
    });
    return pop;
}

QLabel* AlbumTabPage::makeLabel(const QString& name, const QString& text) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    return label;
}

QComboBox* AlbumTabPage::makeCountBox(const QString& name, const QString& accessibleName, int tag,
                                      AlbumForm::CountField field) {
    auto* box = new QComboBox(this);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(5);
    box->setProperty(kTag, tag);
    if (field != AlbumForm::CountField::Page) {
        box->addItems(countSuggestions());
        box->setCurrentText(QStringLiteral("1"));
    }
    const auto forward = [this, box, field, tag] {
        if (!refreshing_) {
            form_->setCountText(field, box->currentText());
            albumAction(tag);
        }
    };
    connect(box, &QComboBox::activated, this, forward);
    connect(box->lineEdit(), &QLineEdit::editingFinished, this, forward);
    return box;
}

QComboBox* AlbumTabPage::pop(const QString& objectName) const {
    for (const PopRow& row : pops_) {
        if (row.pop->objectName() == objectName) {
            return row.pop;
        }
    }
    return nullptr;
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
        connect(box, &QCheckBox::clicked, self, [self, n](bool checked) {
            self->form_->setOptionTicked(n - 1, checked);
            self->albumAction(kTagOptionFirst + n);
        });
        self->optionGrid_->addWidget(box, (n - 1) / 3, (n - 1) % 3);
        self->optionBoxes_.append(box);
        if (n > kOptionBoxes) {
            Log::outputLn(QStringLiteral("オプションの欄を追加（%1）").arg(n));
        }
    }
    return optionBoxes_[number - 1];
}

// --- Presenting ---

void AlbumTabPage::present() {
    const bool wasRefreshing = refreshing_;
    refreshing_ = true;
    const AlbumForm& f = *form_;
    for (const PopRow& row : std::as_const(pops_)) {
        const AlbumForm::Pop& p = f.pop(row.key);
        {
            const QSignalBlocker block(row.pop);
            if (itemTexts(row.pop) != p.items) {
                row.pop->clear();
                row.pop->addItems(p.items);
            }
            row.pop->setCurrentIndex(p.current);
        }
        row.pop->setHidden(p.hidden);
        if (row.label != nullptr) {
            row.pop->setAccessibleName(p.caption);
            showCaption(row.label, p.caption, p.captionHidden);
        }
    }
    const auto setCount = [](QComboBox* box, const AlbumForm::Count& count) {
        if (box->currentText() != count.text) {
            const QSignalBlocker block(box);
            box->setEditText(count.text);
        }
        box->setHidden(count.hidden);
    };
    if (itemTexts(pageComBox_) != f.pageEntryItems()) {
        const QSignalBlocker block(pageComBox_);
        pageComBox_->clear();
        pageComBox_->addItems(f.pageEntryItems());
        pageComBox_->setCurrentIndex(-1);
    }
    setCount(pageComBox_, f.pageEntry());
    setCount(orderNum_, f.orderNum());
    if (orderNum2_->text() != f.orderNumDirect().text) {
        orderNum2_->setText(f.orderNumDirect().text);
    }
    orderNum2_->setHidden(f.orderNumDirect().hidden);
    showCaption(orderNumLabel_, f.orderNumCaption(), f.orderNumCaptionHidden());
    showCaption(orderUnitLabel_, f.orderUnitCaption(), f.orderNumCaptionHidden());
    setCount(orderBoxNum_, f.boxNum());
    orderUnitBoxLabel_->setHidden(f.boxNum().hidden);
    orderBoxNumLabel_->setHidden(f.boxNum().hidden);
    setCount(orderMiniNum_, f.miniNum());
    orderUnitMiniLabel_->setHidden(f.miniNum().hidden);
    orderMiniNumLabel_->setHidden(f.miniNum().hidden);
    // The caption names the control shown in its row: the page pop-up or the page typed freely,
    // the count from the list or the count typed directly.
    if (QLabel* pageLabel = findChild<QLabel*>(QStringLiteral("alPageLabel"))) {
        pageLabel->setBuddy(pageComBox_->isHidden() ? pop(QStringLiteral("alPagePop"))
                                                    : pageComBox_);
    }
    orderNumLabel_->setBuddy(orderNum_->isHidden() && !orderNum2_->isHidden()
                                 ? static_cast<QWidget*>(orderNum2_)
                                 : orderNum_);
    // The colours of box and mini: the caption the catalogue gives, shown with the pop-up.
    const QVariantMap record = f.nowAlbumUiDic();
    const struct {
        QLabel* label;
        const char* key;
        const char* pop;
    } colours[] = {{boxColLabel_, "AlBoxColLabel", "alBoxColPop"},
                   {miniColLabel_, "AlMiniColLabel", "alMiniColPop"}};
    for (const auto& colour : colours) {
        const QString text = record.value(QString::fromLatin1(colour.key)).toString();
        showCaption(colour.label, text, pop(QString::fromLatin1(colour.pop))->isHidden());
        pop(QString::fromLatin1(colour.pop))->setAccessibleName(text);
    }

    const QStringList& titles = f.optionTitles();
    for (int i = 0; i < std::max<int>(optionBoxCount(), static_cast<int>(titles.size())); ++i) {
        QCheckBox* box = optionBox(i + 1);
        const bool used = i < titles.size();
        box->setText(used ? titles[i] : QString());
        if (used) {
            box->setAccessibleName(titles[i]);
        }
        box->setChecked(used && f.isOptionTicked(i));
        box->setHidden(!used);
    }
    if (orderMemo_->toPlainText() != f.memo()) {
        orderMemo_->setPlainText(f.memo());
    }
    alignCaptions(); // the captions follow the product
    refreshing_ = wasRefreshing;
}

void AlbumTabPage::forwardTypedCounts() {
    using Field = AlbumForm::CountField;
    form_->setCountText(Field::Page, pageComBox_->currentText());
    form_->setCountText(Field::Order, orderNum_->currentText());
    form_->setCountText(Field::OrderDirect, orderNum2_->text());
    form_->setCountText(Field::Box, orderBoxNum_->currentText());
    form_->setCountText(Field::Mini, orderMiniNum_->currentText());
}

// --- Set-up and refresh ---

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
    forwardTypedCounts();
    form_->albumUiRefresh();

    imageFolderPath_->setText(c.selectInfoOf(OrderTab::Album));
    imageFileNum()->setText(c.fileCountTextOf(OrderTab::Album));
    showFileNames(c.fileInfoTextOf(OrderTab::Album));
    const bool hasFiles = !c.selectFilesOf(OrderTab::Album).isEmpty();

    bool form = false;
    bool send = false;
    bool kineloSend = false;
    bool cancel = false;
    QString reason;
    const FormState state = formState(reason);
    if (state == FormState::JobRunning) {
        cancel = true;
    } else if (state != FormState::Closed) {
        form = true;
        const QString block = form_->albumSendBlock(hasFiles);
        send = block.isEmpty();
        reason = send ? reason : block;
        kineloSend = form_->albumSendBlock(hasFiles, false).isEmpty();
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
    form_->saveAlbumUiInfo();
    albumSetPopSelect();
}

void AlbumTabPage::albumAction(int tag) {
    if (refreshing_) {
        return;
    }
    forwardTypedCounts();
    form_->normaliseCounts();
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
        break;
    default:
        break;
    }
    ctrl().comViewRefresh();
}

void AlbumTabPage::openCatalogPage() {
    if (const auto url = form_->catalogPageUrl()) {
        Log::outputLn(QStringLiteral("カタログを開く（%1）").arg(url->toString()));
        QDesktopServices::openUrl(*url);
    }
}

void AlbumTabPage::sendAction() {
    if (!form_->albumSendChecks()) {
        ctrl().comViewRefresh();
        return;
    }
    UserDef::setExecuteButton(QStringLiteral("BtSend"));
    ctrl().comViewRefresh();
    ctrl().executeOrderActionJob();
}
