#include "ui/PassCheckWindow.h"

#include "ui/DialogConvention.h"
#include "ui/ReadingOrder.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PassCheckWindow::PassCheckWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("passCheckWindow"));
    setWindowTitle(QStringLiteral("カスタムモード認証"));
    setAccessibleName(QStringLiteral("カスタムモード認証"));
    setModal(false);

    passCheckMsg = new QLabel(this);
    passCheckMsg->setObjectName(QStringLiteral("passCheckMsg"));
    passCheckMsg->setWordWrap(true);

    passCheckPassField = new QLineEdit(this);
    passCheckPassField->setObjectName(QStringLiteral("passCheckPassField"));
    passCheckPassField->setAccessibleName(QStringLiteral("パスワード"));
    passCheckPassField->setEchoMode(QLineEdit::Password);
    // No completion or input-method history may keep the password.
    passCheckPassField->setAttribute(Qt::WA_InputMethodEnabled, false);
    passCheckPassField->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData |
                                            Qt::ImhNoPredictiveText);

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->addRow(QStringLiteral("パスワード"), passCheckPassField);

    auto* buttons = new QDialogButtonBox(this);
    passCheckOkBt = buttons->addButton(QStringLiteral("認証"), QDialogButtonBox::AcceptRole);
    passCheckOkBt->setObjectName(QStringLiteral("passCheckOkBt"));
    passCheckOkBt->setAccessibleName(QStringLiteral("認証"));
    passCheckOkBt->setDefault(true);
    passCheckCancelBt =
        buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    passCheckCancelBt->setObjectName(QStringLiteral("passCheckCancelBt"));
    passCheckCancelBt->setAccessibleName(QStringLiteral("キャンセル"));
    applyDialogButtonOrder(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(passCheckMsg);
    layout->addLayout(form);
    layout->addWidget(buttons);
    // Room for the explanation's longer line without breaking it (about 36 full-width letters).
    setMinimumWidth(fontMetrics().horizontalAdvance(QString(36, QChar(0x3042))));

    connect(passCheckOkBt, &QPushButton::clicked, this, [this] { Q_EMIT passCheckRequested(); });
    connect(passCheckCancelBt, &QPushButton::clicked, this, [this] { reject(); });
}

void PassCheckWindow::openForCode(const QString& code) {
    passCheckMsg->setText(
        QStringLiteral("お客様コード %1 はカスタムモードでご利用いただけます。\n"
                       "ラボからお知らせしたカスタムモードのパスワードを入力してください。")
            .arg(code));
    passCheckPassField->clear();
    keepReadingOrder(this);
    show();
    raise();
    activateWindow();
    passCheckPassField->setFocus();
}

QString PassCheckWindow::password() const {
    return passCheckPassField->text();
}

void PassCheckWindow::closeWindow() {
    passCheckPassField->clear();
    hide();
}

void PassCheckWindow::reject() {
    closeWindow();
    Q_EMIT cancelled();
}
