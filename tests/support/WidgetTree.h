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
#include <QStringList>
#include <QTabBar>
#include <QWidget>

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

// The visible widgets of a window (not the window itself, not other windows), parents first.
inline QList<QWidget*> visibleParts(QWidget* window) {
    QList<QWidget*> parts;
    const auto walk = [&parts](const auto& self, QWidget* parent) -> void {
        for (QObject* object : parent->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (child == nullptr || child->isWindow() || !child->isVisible()) {
                continue;
            }
            parts.append(child);
            if (!isAtomic(child)) {
                self(self, child);
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
    for (QWidget* part : visibleParts(window)) {
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

// What a screen reader reads for a widget.
inline QString accessibleName(QWidget* widget) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

} // namespace widgettree
