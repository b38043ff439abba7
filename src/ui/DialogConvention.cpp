#include "ui/DialogConvention.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPointer>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleFactory>
#include <QWidget>
#include <algorithm>

namespace {

class ButtonOrderStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_DialogButtonLayout) {
            return QDialogButtonBox::GnomeLayout; // reject left of accept
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QStyle* buttonOrderStyle() {
    static QPointer<QStyle> style;
    if (style.isNull()) {
        QStyle* base = QStyleFactory::create(QApplication::style()->name());
        auto* proxy = new ButtonOrderStyle(base); // owns base
        proxy->setParent(qApp);                   // lives as long as the application
        style = proxy;
    }
    return style.data();
}

} // namespace

void applyDialogButtonOrder(QDialogButtonBox* buttons) {
    if (buttons != nullptr) {
        buttons->setStyle(buttonOrderStyle());
    }
}

void fitToAvailableScreen(QWidget* window, QSize preferred) {
    QWidget* anchor = window->parentWidget() != nullptr ? window->parentWidget()->window() : window;
    QScreen* screen =
        anchor->screen() != nullptr ? anchor->screen() : QApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    // Leave room for the frame and title bar the desktop adds; dialogs centre themselves on their
    // parent and stay inside the available area when shown.
    const QSize room = screen->availableGeometry().size() - QSize(16, 48);
    window->setMinimumSize(window->minimumSize().boundedTo(room));
    const QSize wanted = preferred.isValid() ? preferred : window->sizeHint();
    window->resize(wanted.expandedTo(window->minimumSizeHint()).boundedTo(room));
    if (window->isVisible()) {
        // An open window that grew keeps its top-left; move it back inside the screen.
        const QRect area = screen->availableGeometry();
        const QRect frame = window->frameGeometry();
        const int x = std::clamp(frame.x(), area.left(),
                                 std::max(area.left(), area.right() + 1 - frame.width()));
        const int y = std::clamp(frame.y(), area.top(),
                                 std::max(area.top(), area.bottom() + 1 - frame.height()));
        if (x != frame.x() || y != frame.y()) {
            window->move(x, y);
        }
    }
}
