#include "../settings/Log.h"
#include "Up.h"
