#pragma once

#include <QByteArrayView>

// Whether a JPEG stream holds the data of every block that its scans code. A stream cut short inside a scan
// decodes without complaint, the missing blocks filled with grey; one that lacks no more than its end marker
// decodes whole. Only decoding the scans tells the two apart: this runs the decoder over them and watches
// whether it ever ran out of data. A stream that the decoder refuses outright is not whole either.
bool jpegScansAreWhole(QByteArrayView bytes);
