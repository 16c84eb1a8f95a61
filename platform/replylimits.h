#ifndef VELMARO_APP_PLATFORM_REPLYLIMITS_H
#define VELMARO_APP_PLATFORM_REPLYLIMITS_H

#include <QtGlobal>

class QNetworkReply;

// A transfer timeout fires only on silence: a server that never stops, or
// drips, is held off by these checks instead.
namespace ReplyLimits
{
// Aborts the reply once it announces or delivers more than maxBytes (0: no
// cap), or, with deadlineMs > 0, once that long has passed since now. The
// reply then finishes with OperationCanceledError, as after a timeout.
void apply(QNetworkReply *reply, qint64 maxBytes, int deadlineMs = 0);
// Whether apply() aborted the reply for its size.
bool tooLarge(const QNetworkReply *reply);
} // namespace ReplyLimits

#endif
