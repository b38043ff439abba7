#include "ui/MainWindow.h"
#include "job/JobThread.h"
#include "settings/Log.h"
