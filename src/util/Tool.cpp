// Size and number texts of Tool.
#include "util/Tool.h"

QString Tool::autoDataByteStringWithByte(double bytes) {
    // Decimal units, as the lab states its limits (4.147 GB = 4,147,000,000 bytes).
    if (bytes < 10000.0) {
        return QString::asprintf("%.0f byte", bytes);
    }
    if (bytes < 100000.0) {
        return QString::asprintf("%.1f KB", bytes / 1000.0);
    }
    if (bytes < 1000000.0) {
        return QString::asprintf("%.0f KB", bytes / 1000.0);
    }
    if (bytes < 100000000.0) {
        return QString::asprintf("%.1f MB", bytes / 1000000.0);
    }
    if (bytes < 1000000000.0) {
        return QString::asprintf("%.0f MB", bytes / 1000000.0);
    }
    return QString::asprintf("%.2f GB", bytes / 1000000000.0);
}

QString Tool::intToStr(qint64 value) {
    return QString::number(value);
}
