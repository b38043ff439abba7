#include "Relative.h"
#include "settings/Log.h"
#include "util/PathUtil.h"
