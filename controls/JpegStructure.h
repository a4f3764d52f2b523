#pragma once

#include <QByteArrayView>

// Whether the bytes hold a JPEG stream whose marker structure runs from its start-of-image marker through
// every segment and scan to an end-of-image marker. A decoder quietly fills a cut-off picture with grey;
// this tells such a file from a whole one without decoding anything.
bool jpegIsComplete(QByteArrayView bytes);
