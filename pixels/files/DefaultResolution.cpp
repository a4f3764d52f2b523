#include "DefaultResolution.h"

#include <QCoreApplication>

static_assert(DefaultDotsPerInch == 96, "Qt's own default without a screen, which Qt::AA_Use96Dpi makes its default");

void useDefaultResolution()
{
    QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
}
