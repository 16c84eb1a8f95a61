#include "update/vuplatform.h"

#include "platform/platform.h"

bool VuPlatform::matchesCurrentPlatform(const QString &platformId)
{
    const QString id = platformId.toUpper().trimmed();
    if (id.isEmpty())
        return false;
    return id == Platform::feedPlatformId();
}
