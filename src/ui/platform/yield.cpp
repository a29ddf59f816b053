#include "ui/platform/yield.h"

#include <QCoreApplication>

void yieldToWindowSystem() {
    QCoreApplication::processEvents();
}
