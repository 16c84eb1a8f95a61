#include "update/vunotesbrowser.h"

QVariant VuNotesBrowser::loadResource(int, const QUrl &)
{
    // Not a null QVariant: on null the document reads local files itself.
    return QVariant(QByteArray());
}
