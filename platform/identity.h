#ifndef VELMARO_APP_PLATFORM_IDENTITY_H
#define VELMARO_APP_PLATFORM_IDENTITY_H

#include "platform/version.h"

#include <QtGlobal>

// Product identity, shared by start-up, the settings store and the updater.
namespace Identity
{
inline constexpr const char *applicationName = "Velmaro";
inline constexpr const char *version = VELMARO_VERSION;
inline constexpr const char *organizationName = "t.a.l.v.e.n.";
inline constexpr const char *organizationDomain = "velmaro.org";

// The tracking service expects the bare version; public tile servers refuse
// anonymous clients, so tiles get a self-describing agent.
inline constexpr const char *trackingUserAgent = VELMARO_VERSION;
inline constexpr const char *tileUserAgent = "Velmaro/" VELMARO_VERSION " (+https://velmaro.org)";

// Transfer timeouts in milliseconds.
inline constexpr int trackingTimeoutMs = 30000;
inline constexpr int feedTimeoutMs = 30000;
inline constexpr int tileTimeoutMs = 20000;
inline constexpr int installerTimeoutMs = 300000;
// Whole tracking replies, however steadily the bytes come.
inline constexpr int trackingDeadlineMs = 60000;

// Largest replies taken, in bytes: the feed's cap holds for the release notes
// too, the installer's is the feed's length when it gives one.
inline constexpr qint64 feedMaxBytes = 1 << 20;
inline constexpr qint64 tileMaxBytes = 1 << 20;
inline constexpr qint64 trackingMaxBytes = 64 << 20;
inline constexpr qint64 installerMaxBytes = qint64(512) << 20;
} // namespace Identity

#endif
