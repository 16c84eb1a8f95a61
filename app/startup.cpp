#include "startup.h"

#include "identity.h"

#include <QApplication>
#include <QMainWindow>

namespace Startup {

int run(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(Identity::applicationName));
    QApplication::setApplicationVersion(QString::fromLatin1(Identity::version));
    QApplication::setOrganizationName(QString::fromLatin1(Identity::organizationName));
    QApplication::setOrganizationDomain(QString::fromLatin1(Identity::organizationDomain));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Velmaro 2.7.2 Initialisierung"));
    window.show();
    return app.exec();
}

} // namespace Startup
