#include "app/JobThread.h"
#include "job/JobInfo.h"
#include "product/Catalogue.h"
