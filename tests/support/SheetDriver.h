#pragma once

#include <QString>

class QDialog;

// Answers the order sheets in ui tests the way a user would: finds the open sheet by its
// objectName, fills its fields and pop-ups, chooses the order action and confirms or cancels
// through its buttons or keys. Every operation answers false when the sheet or control is missing.
class SheetDriver {
public:
    SheetDriver() = delete;

    // The visible sheet with that objectName (any visible sheet when empty), or null.
    static QDialog* openSheet(const QString& objectName = QString());
    static QString openSheetName(); // objectName of the visible sheet, "" when none

    static bool setText(const QString& sheet, const QString& field, const QString& text);
    static QString text(const QString& sheet, const QString& field); // a field or label
    static bool selectPop(const QString& sheet, const QString& pop, const QString& itemText);
    static QString popText(const QString& sheet, const QString& pop);
    static bool clickButton(const QString& sheet, const QString& button);
    // The order action sheet's choice by radio tag (301, 302, 303).
    static bool chooseOrderAction(int tag);
    static int checkedOrderAction(); // 0 when the sheet is not open
    static QString orderActionTitle(int tag);

    static bool confirm(const QString& sheet); // clicks its default button (okButton)
    static bool cancel(const QString& sheet);  // clicks キャンセル
    static bool pressEnter(const QString& sheet);
    static bool pressEscape(const QString& sheet);
    static QString message(const QString& sheet); // the message line
};
