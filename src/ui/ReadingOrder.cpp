#include "ui/ReadingOrder.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QBoxLayout>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QPointer>
#include <QScrollArea>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <utility>

namespace {

// A widget that hands its focus to another (a tab widget to its bar) is not a stop of its own.
bool isStop(const QWidget* widget) {
    return (widget->focusPolicy() & Qt::TabFocus) != 0 && widget->focusProxy() == nullptr;
}

// Controls whose inside is their own business (a pop-up's editor, a list's viewport): they are
// one stop and are not entered.
bool isAtomic(const QWidget* widget) {
    return qobject_cast<const QComboBox*>(widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
           qobject_cast<const QTabBar*>(widget) != nullptr ||
           (qobject_cast<const QAbstractScrollArea*>(widget) != nullptr &&
            qobject_cast<const QScrollArea*>(widget) == nullptr);
}

struct Walk {
    QList<QWidget*> stops;
    QList<QWidget*> containers; // the widgets entered, where new controls may appear

    void widget(QWidget* w);
    void layout(QLayout* layout);
};

void Walk::widget(QWidget* w) {
    if (w == nullptr || w->isWindow() || stops.contains(w)) {
        return;
    }
    if (isStop(w)) {
        stops.append(w);
    }
    if (isAtomic(w)) {
        return;
    }
    containers.append(w);
    if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
        widget(tabs->tabBar());
        for (int i = 0; i < tabs->count(); ++i) {
            widget(tabs->widget(i));
        }
        return;
    }
    if (auto* scroll = qobject_cast<QScrollArea*>(w)) {
        widget(scroll->widget());
        return;
    }
    if (auto* split = qobject_cast<QSplitter*>(w)) {
        for (int i = 0; i < split->count(); ++i) {
            widget(split->widget(i));
        }
        return;
    }
    layout(w->layout());
}

void Walk::layout(QLayout* layout) {
    if (layout == nullptr) {
        return;
    }
    // Each item with its place: (row, column) in a grid or form, its index in a box, turned
    // round for a box that runs right to left or bottom to top.
    QList<std::pair<std::pair<int, int>, QLayoutItem*>> items;
    const int count = layout->count();
    auto* grid = qobject_cast<QGridLayout*>(layout);
    auto* form = qobject_cast<QFormLayout*>(layout);
    auto* box = qobject_cast<QBoxLayout*>(layout);
    const bool reversed = box != nullptr && (box->direction() == QBoxLayout::RightToLeft ||
                                             box->direction() == QBoxLayout::BottomToTop);
    for (int i = 0; i < count; ++i) {
        QLayoutItem* item = layout->itemAt(i);
        std::pair<int, int> place{reversed ? count - 1 - i : i, 0};
        if (grid != nullptr) {
            int row = 0;
            int column = 0;
            int rowSpan = 0;
            int columnSpan = 0;
            grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
            place = {row, column};
        } else if (form != nullptr) {
            int row = 0;
            QFormLayout::ItemRole role = QFormLayout::LabelRole;
            form->getItemPosition(i, &row, &role);
            place = {row, role == QFormLayout::FieldRole ? 1 : 0};
        }
        items.append({place, item});
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [place, item] : std::as_const(items)) {
        if (item->widget() != nullptr) {
            widget(item->widget());
        } else if (item->layout() != nullptr) {
            this->layout(item->layout());
        }
    }
}

Walk walk(QWidget* root) {
    Walk w;
    if (root != nullptr) {
        w.containers.append(root);
        if (auto* tabs = qobject_cast<QTabWidget*>(root)) {
            w.widget(tabs);
        } else if (auto* scroll = qobject_cast<QScrollArea*>(root)) {
            w.widget(scroll->widget());
        } else {
            w.layout(root->layout());
        }
    }
    return w;
}

// Watches root and the containers under it: an added control or a changed layout orders the
// stops again, once the current event is done.
class ReadingOrderKeeper : public QObject {
public:
    explicit ReadingOrderKeeper(QWidget* root) : QObject(root), root_(root) {
        setObjectName(QStringLiteral("readingOrderKeeper"));
    }

    void apply() {
        pending_ = false;
        if (root_.isNull()) {
            return;
        }
        const Walk w = walk(root_);
        for (qsizetype i = 1; i < w.stops.size(); ++i) {
            QWidget::setTabOrder(w.stops.at(i - 1), w.stops.at(i));
        }
        for (QWidget* container : w.containers) {
            container->installEventFilter(this); // once: a second install only moves it
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (!pending_ && (type == QEvent::ChildAdded || type == QEvent::LayoutRequest)) {
            pending_ = true;
            QTimer::singleShot(0, this, [this] { apply(); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QWidget> root_;
    bool pending_ = false;
};

} // namespace

QList<QWidget*> readingOrder(QWidget* root) {
    return walk(root).stops;
}

void keepReadingOrder(QWidget* root) {
    if (root == nullptr) {
        return;
    }
    ReadingOrderKeeper* keeper = nullptr;
    for (QObject* child : root->children()) {
        if ((keeper = dynamic_cast<ReadingOrderKeeper*>(child)) != nullptr) {
            break;
        }
    }
    if (keeper == nullptr) {
        keeper = new ReadingOrderKeeper(root);
    }
    keeper->apply();
}
