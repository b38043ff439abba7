#include "ui/PhotoStudioNamePop.h"

#include "app/UserPref.h"
#include "settings/UserDef.h"

#include <QSignalBlocker>

PhotoStudioNamePop::PhotoStudioNamePop(QWidget* parent) : QComboBox(parent) {
    setObjectName(QStringLiteral("photoStudioNamePop"));
    setAccessibleName(QStringLiteral("写真館"));
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    setMinimumContentsLength(12);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // Only a choice of the user switches the customer, never a rebuild or a re-selection.
    connect(this, &QComboBox::activated, this,
            [this](int index) { Q_EMIT photoStudioChosen(itemText(index)); });
}

void PhotoStudioNamePop::makePhotoStudioNamePop() {
    const QSignalBlocker blocker(this);
    clear();
    addItems(UserPref::photoStudioPopTitles());
}

void PhotoStudioNamePop::selectPhotoStudioNamePop() {
    // A studio with one customer code has no list to choose from: its own name stands there.
    setPlaceholderText(
        count() == 0 ? UserDef::stringForKey(QStringLiteral("PhotoStudioName")).value_or(QString())
                     : QString());
    const std::optional<QString> title = UserPref::photoStudioPopSelection(QStringList([this] {
        QStringList titles;
        for (int i = 0; i < count(); ++i) {
            titles.append(itemText(i));
        }
        return titles;
    }()));
    if (!title) {
        return;
    }
    const QSignalBlocker blocker(this);
    setCurrentIndex(findText(*title));
}
