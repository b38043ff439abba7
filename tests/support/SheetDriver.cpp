#include "SheetDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

template <typename T>
T* control(const QString& sheet, const QString& name) {
    QDialog* dialog = SheetDriver::openSheet(sheet);
    return dialog != nullptr ? dialog->findChild<T*>(name) : nullptr;
}

QButtonGroup* orderActionGroup() {
    auto* matrix =
        control<QGroupBox>(QStringLiteral("orderAcWindow"), QStringLiteral("orderAcMatrix"));
    return matrix != nullptr ? matrix->findChild<QButtonGroup*>() : nullptr;
}

} // namespace

QDialog* SheetDriver::openSheet(const QString& objectName) {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog != nullptr && dialog->isVisible() &&
            (objectName.isEmpty() || dialog->objectName() == objectName)) {
            return dialog;
        }
    }
    return nullptr;
}

QString SheetDriver::openSheetName() {
    QDialog* dialog = openSheet();
    return dialog != nullptr ? dialog->objectName() : QString();
}

bool SheetDriver::setText(const QString& sheet, const QString& field, const QString& text) {
    auto* edit = control<QLineEdit>(sheet, field);
    if (edit == nullptr) {
        if (auto* plain = control<QPlainTextEdit>(sheet, field)) {
            plain->setFocus();
            plain->selectAll();
            plain->insertPlainText(text);
            return true;
        }
        return false;
    }
    edit->setFocus();
    edit->selectAll();
    edit->insert(text); // as typed or pasted: the field's own rules apply
    return true;
}

QString SheetDriver::text(const QString& sheet, const QString& field) {
    if (auto* edit = control<QLineEdit>(sheet, field)) {
        return edit->text();
    }
    if (auto* label = control<QLabel>(sheet, field)) {
        return label->text();
    }
    if (auto* plain = control<QPlainTextEdit>(sheet, field)) {
        return plain->toPlainText();
    }
    return QString();
}

bool SheetDriver::selectPop(const QString& sheet, const QString& pop, const QString& itemText) {
    auto* combo = control<QComboBox>(sheet, pop);
    if (combo == nullptr) {
        return false;
    }
    const int index = combo->findText(itemText);
    if (index < 0) {
        return false;
    }
    combo->setCurrentIndex(index);
    return true;
}

QString SheetDriver::popText(const QString& sheet, const QString& pop) {
    auto* combo = control<QComboBox>(sheet, pop);
    return combo != nullptr ? combo->currentText() : QString();
}

bool SheetDriver::clickButton(const QString& sheet, const QString& button) {
    auto* push = control<QAbstractButton>(sheet, button);
    if (push == nullptr || !push->isEnabled()) {
        return false;
    }
    push->click();
    return true;
}

bool SheetDriver::chooseOrderAction(int tag) {
    QButtonGroup* group = orderActionGroup();
    QAbstractButton* radio = group != nullptr ? group->button(tag) : nullptr;
    if (radio == nullptr) {
        return false;
    }
    radio->click();
    return radio->isChecked();
}

int SheetDriver::checkedOrderAction() {
    QButtonGroup* group = orderActionGroup();
    return group != nullptr ? std::max(group->checkedId(), 0) : 0;
}

QString SheetDriver::orderActionTitle(int tag) {
    QButtonGroup* group = orderActionGroup();
    QAbstractButton* radio = group != nullptr ? group->button(tag) : nullptr;
    return radio != nullptr ? radio->text() : QString();
}

bool SheetDriver::confirm(const QString& sheet) {
    return clickButton(sheet, QStringLiteral("okButton"));
}

bool SheetDriver::cancel(const QString& sheet) {
    return clickButton(sheet, QStringLiteral("cancelButton"));
}

bool SheetDriver::pressEnter(const QString& sheet) {
    QDialog* dialog = openSheet(sheet);
    if (dialog == nullptr) {
        return false;
    }
    QWidget* target = dialog->focusWidget() != nullptr ? dialog->focusWidget() : dialog;
    QTest::keyClick(target, Qt::Key_Return);
    return true;
}

bool SheetDriver::pressEscape(const QString& sheet) {
    QDialog* dialog = openSheet(sheet);
    if (dialog == nullptr) {
        return false;
    }
    QWidget* target = dialog->focusWidget() != nullptr ? dialog->focusWidget() : dialog;
    QTest::keyClick(target, Qt::Key_Escape);
    return true;
}

QString SheetDriver::message(const QString& sheet) {
    QDialog* dialog = openSheet(sheet);
    if (dialog == nullptr) {
        return QString();
    }
    const QList<QLabel*> labels = dialog->findChildren<QLabel*>();
    for (QLabel* label : labels) {
        if (label->objectName().endsWith(QStringLiteral("Msg"))) {
            return label->text();
        }
    }
    return QString();
}
