#pragma once

class QCoreApplication;

// Qt's own texts (the file chooser, standard dialog buttons, the edit menu of text fields) and its
// dates and numbers in Japanese, like every other text of the program, whatever the desktop's
// language. False when Qt's Japanese catalogue is not installed (the English texts stay then).
bool installQtJapanese(QCoreApplication& app);
