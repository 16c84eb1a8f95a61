#include "platform/replylimits.h"

#include <QNetworkReply>
#include <QTimer>

namespace ReplyLimits
{

namespace
{
const char *const tooLargeProperty = "velmaroTooLarge";
} // namespace

void apply(QNetworkReply *reply, qint64 maxBytes, int deadlineMs)
{
    if (maxBytes > 0) {
        const auto check = [reply, maxBytes](qint64 received) {
            const qint64 announced =
                reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
            if ((received > maxBytes || announced > maxBytes) && reply->isRunning()) {
                reply->setProperty(tooLargeProperty, true);
                reply->abort();
            }
        };
        // The announced length is known before the first byte of the body.
        QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [check] { check(0); });
        QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                         [check](qint64 received, qint64) { check(received); });
    }
    if (deadlineMs > 0) {
        QTimer::singleShot(deadlineMs, reply, [reply] {
            if (reply->isRunning())
                reply->abort();
        });
    }
}

bool tooLarge(const QNetworkReply *reply)
{
    return reply->property(tooLargeProperty).toBool();
}

} // namespace ReplyLimits
