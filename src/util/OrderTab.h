#pragma once

#include <QString>
#include <array>
#include <optional>

// The five order tabs. Their labels identify them everywhere: in the tab view, in the stored
// "MainTabLabel", in the order report and in usage reports; they are spelled only here.
enum class OrderTab { Print, School, Album, Resize, Etc };

inline constexpr std::array<OrderTab, 5> kAllOrderTabs = {
    OrderTab::Print, OrderTab::School, OrderTab::Album, OrderTab::Resize, OrderTab::Etc};

inline QString orderTabLabel(OrderTab tab) {
    switch (tab) {
    case OrderTab::Print:
        return QStringLiteral("プリント");
    case OrderTab::School:
        return QStringLiteral("スクール");
    case OrderTab::Album:
        return QStringLiteral("アルバム");
    case OrderTab::Resize:
        return QStringLiteral("リサイズ");
    case OrderTab::Etc:
        return QStringLiteral("その他");
    }
    return {};
}

// The tab a label names, or none for any other text.
inline std::optional<OrderTab> orderTabFromLabel(const QString& label) {
    for (OrderTab tab : kAllOrderTabs) {
        if (orderTabLabel(tab) == label) {
            return tab;
        }
    }
    return std::nullopt;
}
