#include "app/gui/MainWindow.h"
#include "ui/Widget.h"

int main() {
    return 0;
}
