#include "service/Lab.h"
#include "ui/Widget.h"
