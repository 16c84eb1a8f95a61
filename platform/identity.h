#ifndef VELMARO_APP_PLATFORM_IDENTITY_H
#define VELMARO_APP_PLATFORM_IDENTITY_H

#include "platform/version.h"

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
} // namespace Identity

#endif
