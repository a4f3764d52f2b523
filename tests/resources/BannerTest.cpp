#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr int BannerWidth = 425;
constexpr int BannerHeight = 75;

QByteArray bannerBytes()
{
    QFile file(QStringLiteral(":/banner.jpg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int byteAt(const QByteArray &data, qsizetype at)
{
    return uchar(data.at(at));
}

int bigEndian16(const QByteArray &data, qsizetype at)
{
    return (byteAt(data, at) << 8) | byteAt(data, at + 1);
}

struct Segment
{
    int marker = 0;
    QByteArray payload;
};

// Marker segments between SOI and the first scan; nothing past SOS is looked at.
std::optional<QList<Segment>> headerSegments(const QByteArray &data)
{
    QList<Segment> segments;
    qsizetype at = 2;
    while (at + 4 <= data.size()) {
        if (byteAt(data, at) != 0xff)
            return std::nullopt;
        const int marker = byteAt(data, at + 1);
        const int length = bigEndian16(data, at + 2);
        if (length < 2 || at + 2 + length > data.size())
            return std::nullopt;
        segments.append({marker, data.mid(at + 4, length - 2)});
        if (marker == 0xda)
            return segments;
        at += 2 + length;
    }
    return std::nullopt;
}

bool isFrameMarker(int marker)
{
    // SOF0..SOF15 less DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
}

} // namespace

TEST(Banner, DecodesAtStripSizeInColour)
{
    const QImage banner(QStringLiteral(":/banner.jpg"));
    ASSERT_FALSE(banner.isNull());
    EXPECT_EQ(banner.size(), QSize(BannerWidth, BannerHeight));
    EXPECT_FALSE(banner.allGray());
}

TEST(Banner, IsBaselineJfifWithThreeComponents)
{
    const QByteArray data = bannerBytes();
    ASSERT_GT(data.size(), 20);
    ASSERT_EQ(bigEndian16(data, 0), 0xffd8) << "no SOI";

    const auto segments = headerSegments(data);
    ASSERT_TRUE(segments.has_value()) << "marker segments are malformed or no scan follows";
    ASSERT_FALSE(segments->isEmpty());

    const Segment &app0 = segments->first();
    EXPECT_EQ(app0.marker, 0xe0) << "JFIF APP0 must follow SOI directly";
    EXPECT_TRUE(app0.payload.startsWith(QByteArray("JFIF", 5)));

    QList<Segment> frames;
    for (const Segment &segment : *segments) {
        if (isFrameMarker(segment.marker))
            frames.append(segment);
    }
    ASSERT_EQ(frames.size(), 1);
    const Segment &frame = frames.first();
    EXPECT_EQ(frame.marker, 0xc0) << "not a baseline frame";
    ASSERT_GE(frame.payload.size(), 6);
    EXPECT_EQ(byteAt(frame.payload, 0), 8) << "sample precision";
    EXPECT_EQ(bigEndian16(frame.payload, 1), BannerHeight);
    EXPECT_EQ(bigEndian16(frame.payload, 3), BannerWidth);
    EXPECT_EQ(byteAt(frame.payload, 5), 3) << "component count";
    EXPECT_EQ(frame.payload.size(), 6 + 3 * 3);
}
