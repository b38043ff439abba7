#pragma once

#include <QSize>

class QDialogButtonBox;
class QWidget;

// One button order in every window, sheet and alert, whatever the desktop: the cancel or negative
// answer on the left, the default on the right.
void applyDialogButtonOrder(QDialogButtonBox* buttons);

// Sizes a window to what it wants (or `preferred` when given), never larger than the available
// area of the screen it opens on (its parent's screen).
void fitToAvailableScreen(QWidget* window, QSize preferred = QSize());
