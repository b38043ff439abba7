#include "job/JobThread.h"
#include "job/JobInfo.h"
#include "product/Catalogue.h"
