#pragma once

#include <QList>

class QWidget;

// Tab follows reading order. The order is the one the window's layouts give their controls:
// a box in its own direction, a grid or form row by row, a nested layout or a container's own
// layout where it stands, a scroll area's contents where the scroll area stands, a splitter's
// panes in their order, a tab widget's bar before its pages. So the focus goes top to bottom and
// left to right through each block of a window (a column of a two-column form before the next
// column), and a control added to a layout falls into place with it.

// The focus stops under root (controls that take focus by Tab, hidden or disabled ones too), in
// reading order. Windows of their own (sheets, dialogs) are not entered.
QList<QWidget*> readingOrder(QWidget* root);

// Chains the stops under root in reading order, now and whenever a control is added under root
// or a layout there changes.
void keepReadingOrder(QWidget* root);
