#include "app/AppCore.h"
#include "ui/AlbumTabPage.h"
