#include "app/gui/MainWindow.h"
#include "job/JobThread.h"
#include "settings/Log.h"
