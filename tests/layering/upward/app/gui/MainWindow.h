#include "app/AppCore.h"
#include "ui/Widget.h"
