#include "app/AppCore.h"
#include "app/gui/MainWindow.h"
