// velmaro-asset-probe FILE...: prints, one line each, the path at which the
// program would read each asset (Paths::asset), as seen from where this
// executable lies and the current working directory.
#include "platform/paths.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    for (const QString &relative : args)
        std::printf("%s\n", qPrintable(Paths::asset(relative)));
    return 0;
}
