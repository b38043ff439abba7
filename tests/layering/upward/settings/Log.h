#include "job/WorkFolder.h"
#include "util/WorkFolder.h"
