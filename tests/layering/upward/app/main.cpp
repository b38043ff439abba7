#include "ui/MainWindow.h"
#include "ui/Widget.h"

int main() {
    return 0;
}
