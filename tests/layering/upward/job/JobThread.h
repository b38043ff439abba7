#include "job/Job.h"
#include "ui/Widget.h"
