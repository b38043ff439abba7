#pragma once

// Walks a window's widget tree as a user sees it, for the ui tests of fit and accessibility:
// which visible controls leave the screen or their parent, which siblings overlap, which
// interactive controls have neither an accessible name nor a label, which labels read otherwise
// than they show. Header-only, so every ui test can use it without a library of its own.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRect>
#include <QScrollArea>
#include <QStringList>
#include <QTabBar>
#include <QTest>
#include <QWidget>
#include <algorithm>

namespace widgettree {

inline QString describe(const QWidget* widget) {
    QString text = QString::fromLatin1(widget->metaObject()->className());
    if (!widget->objectName().isEmpty()) {
        text += u' ' + widget->objectName();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        text += QStringLiteral(" 「%1」").arg(button->text());
    } else if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        text += QStringLiteral(" 「%1」").arg(label->text().left(20));
    }
    return text;
}

// A control whose inside is its own business (a list's viewport, a pop-up's editor): it is
// checked as a whole, not walked into.
inline bool isAtomic(const QWidget* widget) {
    return qobject_cast<const QAbstractScrollArea*>(widget) != nullptr ||
           qobject_cast<const QComboBox*>(widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
           qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QAbstractButton*>(widget) != nullptr ||
           qobject_cast<const QTabBar*>(widget) != nullptr ||
           qobject_cast<const QProgressBar*>(widget) != nullptr ||
           qobject_cast<const QLabel*>(widget) != nullptr;
}

// A one-line control that a layout only makes lower than it needs when its window is smaller
// than the layout's minimum (the text is then cut through).
inline bool isSqueezable(const QWidget* widget) {
    return qobject_cast<const QComboBox*>(widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
           qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QAbstractButton*>(widget) != nullptr;
}

// The visible widgets of a window (not the window itself, not other windows), parents first;
// with intoScrollContents also the contents of scroll areas (a form that scrolls).
inline QList<QWidget*> visibleParts(QWidget* window, bool intoScrollContents = false) {
    QList<QWidget*> parts;
    const auto walk = [&parts, intoScrollContents](const auto& self, QWidget* parent) -> void {
        for (QObject* object : parent->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (child == nullptr || child->isWindow() || !child->isVisible()) {
                continue;
            }
            parts.append(child);
            if (!isAtomic(child)) {
                self(self, child);
            } else if (auto* scroll = qobject_cast<QScrollArea*>(child);
                       intoScrollContents && scroll != nullptr && scroll->widget() != nullptr &&
                       scroll->widget()->isVisible()) {
                parts.append(scroll->widget());
                self(self, scroll->widget());
            }
        }
    };
    walk(walk, window);
    return parts;
}

// Every visible control inside the screen and inside its parent, no one-line control lower than
// it needs, and no two visible siblings overlapping. One line per problem; empty when the window
// fits.
inline QStringList fitProblems(QWidget* window, const QRect& screen) {
    QStringList problems;
    const QRect frame(window->mapToGlobal(QPoint(0, 0)), window->size());
    if (!screen.contains(frame)) {
        problems.append(QStringLiteral("%1: window %2,%3 %4x%5 outside the screen")
                            .arg(describe(window))
                            .arg(frame.x())
                            .arg(frame.y())
                            .arg(frame.width())
                            .arg(frame.height()));
    }
    const QList<QWidget*> parts = visibleParts(window);
    for (QWidget* part : parts) {
        const QRect global(part->mapToGlobal(QPoint(0, 0)), part->size());
        if (!screen.contains(global)) {
            problems.append(QStringLiteral("%1: outside the screen").arg(describe(part)));
        }
        if (!part->parentWidget()->rect().contains(part->geometry())) {
            problems.append(QStringLiteral("%1: cut off by %2")
                                .arg(describe(part), describe(part->parentWidget())));
        }
        if (part->width() <= 0 || part->height() <= 0) {
            problems.append(QStringLiteral("%1: no room").arg(describe(part)));
        } else if (isSqueezable(part) && part->height() < part->minimumSizeHint().height()) {
            problems.append(QStringLiteral("%1: squeezed to %2 px, needs %3")
                                .arg(describe(part))
                                .arg(part->height())
                                .arg(part->minimumSizeHint().height()));
        }
    }
    for (qsizetype i = 0; i < parts.size(); ++i) {
        for (qsizetype j = i + 1; j < parts.size(); ++j) {
            QWidget* a = parts.at(i);
            QWidget* b = parts.at(j);
            if (a->parentWidget() == b->parentWidget() && a->geometry().intersects(b->geometry())) {
                problems.append(QStringLiteral("%1 overlaps %2").arg(describe(a), describe(b)));
            }
        }
    }
    return problems;
}

inline bool isInteractive(const QWidget* widget) {
    return qobject_cast<const QAbstractButton*>(widget) != nullptr ||
           qobject_cast<const QComboBox*>(widget) != nullptr ||
           qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
           qobject_cast<const QAbstractSlider*>(widget) != nullptr ||
           qobject_cast<const QTabBar*>(widget) != nullptr ||
           (qobject_cast<const QAbstractScrollArea*>(widget) != nullptr &&
            widget->focusPolicy() != Qt::NoFocus);
}

// Through the accessibility interface, as a screen reader asks: every interactive control has a
// name or a label relation, and every label reads what it shows (no fixed name hiding it).
inline QStringList accessibilityProblems(QWidget* window) {
    QStringList problems;
    for (QWidget* part : visibleParts(window, true)) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(part);
        if (iface == nullptr) {
            problems.append(QStringLiteral("%1: no accessibility interface").arg(describe(part)));
            continue;
        }
        if (const auto* label = qobject_cast<const QLabel*>(part)) {
            if (!label->accessibleName().isEmpty() && label->accessibleName() != label->text()) {
                problems.append(QStringLiteral("%1: reads 「%2」")
                                    .arg(describe(part), label->accessibleName()));
            }
            continue;
        }
        if (isInteractive(part) && iface->text(QAccessible::Name).trimmed().isEmpty() &&
            iface->relations(QAccessible::Label).isEmpty()) {
            problems.append(QStringLiteral("%1: no name and no label").arg(describe(part)));
        }
    }
    return problems;
}

// --- Reading order ---

// The controls Tab visits, starting from start (given the focus) and pressing Tab until the focus
// comes round to start again; empty when it never does (or leaves the window).
inline QList<QWidget*> tabChain(QWidget* start) {
    QWidget* window = start->window();
    start->setFocus(Qt::TabFocusReason);
    QList<QWidget*> chain;
    QWidget* now = window->focusWidget();
    for (int i = 0; i < 400 && now != nullptr; ++i) {
        chain.append(now);
        QTest::keyClick(now, Qt::Key_Tab);
        now = window->focusWidget();
        if (now == chain.first()) {
            return chain;
        }
    }
    return {};
}

// The rectangle a control is seen in, in window coordinates, for comparing it with other: a
// control inside a scroll area that does not hold other is seen where that scroll area stands
// (its contents may be scrolled away, but they are read where the area is).
inline QRect seenRect(QWidget* widget, QWidget* other) {
    QWidget* seen = widget;
    for (QWidget* w = widget->parentWidget(); w != nullptr && !w->isWindow();
         w = w->parentWidget()) {
        if (qobject_cast<QAbstractScrollArea*>(w) != nullptr && !w->isAncestorOf(other)) {
            seen = w;
        }
    }
    return {seen->mapTo(seen->window(), QPoint(0, 0)), seen->size()};
}

// a is read before b: on one line and to its left, or above it with a share of its width.
inline bool readBefore(const QRect& a, const QRect& b) {
    const int shared = std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top()) + 1;
    if (shared * 2 >= std::min(a.height(), b.height())) {
        return a.right() < b.left() + 2;
    }
    const bool columns = std::min(a.right(), b.right()) > std::max(a.left(), b.left());
    return columns && a.bottom() < b.top() + 2;
}

// Whatever in a Tab chain goes against reading order: a stop that is read before an earlier one
// (above it in its column, or left of it on its line), a scroll area or other container of
// controls as a stop of its own, and, when last is given and reachable, a stop after it. The
// chain is taken from its first stop in reading order round to the same stop.
inline QStringList readingOrderProblems(QList<QWidget*> chain, QWidget* last = nullptr) {
    QStringList problems;
    if (chain.isEmpty()) {
        return {QStringLiteral("Tab never comes round")};
    }
    // Round the circle: start after last, or at the stop that nothing is read before.
    qsizetype first = 0;
    if (last != nullptr && chain.contains(last)) {
        first = (chain.indexOf(last) + 1) % chain.size();
    } else {
        for (qsizetype i = 0; i < chain.size(); ++i) {
            bool before = false;
            for (qsizetype j = 0; j < chain.size() && !before; ++j) {
                before = j != i &&
                         readBefore(seenRect(chain[j], chain[i]), seenRect(chain[i], chain[j]));
            }
            if (!before) {
                first = i;
                break;
            }
        }
    }
    chain = chain.mid(first) + chain.mid(0, first);
    for (qsizetype i = 0; i < chain.size(); ++i) {
        if (qobject_cast<QScrollArea*>(chain[i]) != nullptr) {
            problems.append(QStringLiteral("%1 is a stop of its own").arg(describe(chain[i])));
        }
        for (qsizetype j = i + 1; j < chain.size(); ++j) {
            if (readBefore(seenRect(chain[j], chain[i]), seenRect(chain[i], chain[j]))) {
                problems.append(QStringLiteral("%1 comes after %2 but is read before it")
                                    .arg(describe(chain[j]), describe(chain[i])));
            }
        }
    }
    if (last != nullptr && last->isVisible() && last->isEnabled() && chain.last() != last) {
        problems.append(QStringLiteral("%1 is not the last stop (%2 is)")
                            .arg(describe(last), describe(chain.last())));
    }
    return problems;
}

// --- Captions ---

// Every visible pop-up and count of a window (not a pop-up's own editor, not a read-only status
// field) has a caption relation through the accessibility interface, and the caption is a
// visible label that stands on the control's line, left of it, and reads what it shows.
inline QStringList captionProblems(QWidget* window) {
    QStringList problems;
    for (QWidget* part : visibleParts(window, true)) {
        auto* edit = qobject_cast<QLineEdit*>(part);
        const bool count = edit != nullptr && !edit->isReadOnly() &&
                           qobject_cast<QComboBox*>(part->parentWidget()) == nullptr;
        if (qobject_cast<QComboBox*>(part) == nullptr && !count) {
            continue;
        }
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(part);
        const auto labels = iface != nullptr ? iface->relations(QAccessible::Label)
                                             : decltype(iface->relations())();
        if (labels.isEmpty()) {
            problems.append(QStringLiteral("%1: no caption").arg(describe(part)));
            continue;
        }
        auto* label = qobject_cast<QLabel*>(labels.first().first->object());
        if (label == nullptr || !label->isVisible() || label->text().trimmed().isEmpty()) {
            problems.append(QStringLiteral("%1: its caption is not shown").arg(describe(part)));
            continue;
        }
        if (labels.first().first->text(QAccessible::Name) != label->text()) {
            problems.append(QStringLiteral("%1: caption reads 「%2」, shows 「%3」")
                                .arg(describe(part), labels.first().first->text(QAccessible::Name),
                                     label->text()));
        }
        const QRect at(part->mapTo(window, QPoint(0, 0)), part->size());
        const QRect caption(label->mapTo(window, QPoint(0, 0)), label->size());
        const int middle = caption.center().y();
        if (middle < at.top() || middle > at.bottom() || caption.left() >= at.left()) {
            problems.append(
                QStringLiteral("%1: caption 「%2」 does not stand before it on its line")
                    .arg(describe(part), label->text()));
        }
    }
    return problems;
}

// What a screen reader reads for a widget.
inline QString accessibleName(QWidget* widget) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

} // namespace widgettree
