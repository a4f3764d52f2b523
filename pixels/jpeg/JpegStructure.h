#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>

#include <array>
#include <optional>

// A quantization table, its 64 values in the natural order of the block, row by row.
using JpegQuantTable = std::array<int, 64>;

// What the marker structure of a JPEG stream tells without decoding anything.
struct JpegLayout
{
    // The stream runs from its start-of-image marker through every segment and scan to an end-of-image marker.
    // Bytes between segments do not count against it; decoders pass over them.
    bool complete = false;
    // From the first frame header; empty when there is none.
    QSize frameSize;
    // Minimum coded units of the frame: the blocks its first scan has to spend bits on.
    qint64 codedUnits = 0;
    // Arithmetic coding can spend less than a bit on a block, so it gives no lower bound on the data.
    bool arithmetic = false;
    // Bytes of entropy-coded data in all scans together, and how many scans there are, a scan that runs to the
    // end of the stream included.
    qint64 scanBytes = 0;
    int scans = 0;

    // What the segments before the first scan tell, as a decoder reads them.
    // The resolution of the JFIF header, in dots a metre; 0 where it gives a mere aspect ratio or there is none.
    int dotsPerMeterX = 0;
    int dotsPerMeterY = 0;
    QByteArray exif;       // the TIFF structure of the first EXIF segment
    QByteArray xmp;        // the packet of the first XMP segment
    QByteArray iccProfile; // the pieces of the segments that carry a colour profile, joined in order
    bool comments = false; // a comment segment
    QByteArray photoshop;  // the image resources of the Photoshop segments, where IPTC lives, joined in order
    // The table that the first component (the luminance) uses, and the one the second (the colour) uses where
    // the frame has three components or more.
    std::optional<JpegQuantTable> luminanceTable;
    std::optional<JpegQuantTable> chrominanceTable;
};

// A progressive decoder walks every block of the frame once per scan; a few dozen scans are plenty for any
// real picture, while thousands of empty ones would hold the window for minutes.
inline constexpr int MaxJpegScans = 500;

JpegLayout readJpegLayout(QByteArrayView bytes);

// Whether the scans hold enough data to code every block of the frame they claim. A Huffman code is at least
// one bit long, so each coded unit costs at least one bit; a header that promises more pixels than the data
// can carry is lying, and believing it would allocate memory for nothing.
bool jpegDataCoversFrame(const JpegLayout &layout);
