#include "app/AppCore.h"
#include "ui/MainWindow.h"
