#pragma once

#include <QtGlobal>

// The configuration server, which also serves configurator and firmware updates. The settings
// keys "UpdateServer/IP" and "UpdateServer/Port" override both values together.
inline constexpr char kDefaultServerHost[] = "update.zemo-service.ru";
inline constexpr quint16 kDefaultServerPort = 12358;

// The 8 ASCII characters mixed into the login key of a terminal's IMEI. The configuration server
// computes the same key, so both sides must use the same mask.
inline constexpr char kLoginKeyMask[] = "Zq7#Lm2x";
static_assert(sizeof(kLoginKeyMask) == 9, "the login key mask is 8 characters");
