#pragma once

#include "testsupport.h"

#include <QByteArray>
#include <QString>

// A firmware image file as the update server holds it: the 16-byte header (magic, "VERSION",
// device type id little-endian, version bytes) followed by filler of the given total size.
QByteArray firmwareTestImage(quint16 typeId, quint8 major, quint8 minor, quint8 build, int size);
