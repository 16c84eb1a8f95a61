#ifndef VELMARO_UPDATE_VUNOTESBROWSER_H
#define VELMARO_UPDATE_VUNOTESBROWSER_H

#include <QTextBrowser>

// Shows release notes from a server. The notes are someone else's HTML: an
// image or style sheet in them could name a local file (a device that never
// ends, say) or an address anywhere, so no resource is ever loaded.
class VuNotesBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int type, const QUrl &name) override;
};

#endif
