#pragma once
#include <QStringList>

struct DeviceData;

// The lines of the device information ("&Fertigungnummer"): type, manufacturing number and
// date, program version and type, order and ident numbers, special software. showIdent:
// the set is shown (online or from a file) and the user has identified.
QStringList DeviceInfoLines(const DeviceData &d, bool showIdent);

// The special-software name of the identification block: bytes 33 up to the block's end
// (47), stopping at a 0 or 255 byte. Empty when byte 33 is 0 or 255.
QString SpecialSoftwareName(const DeviceData &d);
