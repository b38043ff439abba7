#include "job/JobThread.h"
#include "settings/Log.h"
#include "ui/MainWindow.h"
