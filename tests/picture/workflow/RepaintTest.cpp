// The repaint of the work picture box, and run-time errors on the real window.

#include "WorkflowFixture.h"

#include "picture/StatusTexts.h"
#include "pixels/memory/ImageAllocator.h"
#include "tests/pixels/grey/GreyRule.h"
#include "tests/support/Gdi.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <sys/resource.h>

namespace {

TEST_F(WorkflowTest, RepaintStretchesThePictureOverTheInnerArea)
{
    form->Picture1.setAutoSize(false);
    form->Picture1.resize(40 + 2 * PictureBox::BorderWidth, 30 + 2 * PictureBox::BorderWidth);
    const QImage pattern = colourPattern(10, 6);
    open(writePicture(path("small.bmp"), pattern));
    const StdPicture picture = form->Picture1.Picture();

    emit form->Picture1.Paint();

    // Four times as wide and five times as high: its own proportions are not kept.
    const HDC dc = form->Picture1.hDC();
    ASSERT_EQ(dc->width(), 40);
    ASSERT_EQ(dc->height(), 30);
    const QList<qint32> source = colourValues(pattern);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(GetPixel(dc, x, y), source[(y / 5) * 10 + x / 4]) << x << "," << y;
    EXPECT_TRUE(form->Picture1.Picture() == picture);
    EXPECT_TRUE(form->Picture1.AutoRedraw());
    EXPECT_TRUE(messageBoxes.isEmpty());
}

TEST_F(WorkflowTest, RepaintDrawsAPictureOfTheBoxsSizeOneToOne)
{
    const QImage pattern = colourPattern(23, 19, 2);
    open(writePicture(path("same.bmp"), pattern));
    form->Picture1.setAutoRedraw(false);
    emit form->Picture1.Paint();
    EXPECT_TRUE(form->Picture1.AutoRedraw());
    EXPECT_EQ(surfaceColours(form->Picture1), colourValues(pattern));

    // After a decolorize the box's picture is the grey surface, and a repaint keeps it grey.
    decolorize();
    const QList<qint32> grey = surfaceColours(form->Picture1);
    emit form->Picture1.Paint();
    EXPECT_EQ(surfaceColours(form->Picture1), grey);
}

TEST_F(WorkflowTest, RepaintWithoutAPictureLeavesTheSurface)
{
    const QList<qint32> surface = surfaceColours(form->Picture1);
    emit form->Picture1.Paint();
    EXPECT_EQ(surfaceColours(form->Picture1), surface);
    EXPECT_TRUE(messageBoxes.isEmpty());
}

TEST_F(WorkflowTest, AShownBoxRepaintsOnlyWhenAsked)
{
    // Drawing from inside the repaint must not ask for yet another repaint, over and over.
    form->Picture1.move(0, 0);
    open(writePicture(path("shown.bmp"), colourPattern(30, 20)));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QSignalSpy paints(&form->Picture1, &PictureBox::Paint);
    form->Picture1.update();
    QTest::qWait(300);
    EXPECT_GE(paints.count(), 1);
    EXPECT_LE(paints.count(), 3);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool AddressLimitsWork = false; // the sanitizer reserves its shadow memory up front
#else
constexpr bool AddressLimitsWork = true;
#endif

qint64 addressSpaceInUse()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return statm.readAll().split(' ').value(0).toLongLong() * ::sysconf(_SC_PAGESIZE);
}

// Caps the address space a little above what is in use now, for the life of the object.
class AddressSpaceCap
{
public:
    explicit AddressSpaceCap(qint64 headroom)
    {
        const qint64 inUse = addressSpaceInUse();
        if (inUse <= 0 || ::getrlimit(RLIMIT_AS, &m_original) != 0)
            return;
        rlimit capped = m_original;
        capped.rlim_cur = rlim_t(inUse + headroom);
        m_capped = ::setrlimit(RLIMIT_AS, &capped) == 0;
    }
    ~AddressSpaceCap()
    {
        if (m_capped)
            ::setrlimit(RLIMIT_AS, &m_original);
    }
    bool capped() const { return m_capped; }

private:
    rlimit m_original{};
    bool m_capped = false;
};

TEST_F(WorkflowTest, ARunTimeErrorIsShownAndTheWindowKeepsItsPicture)
{
    if (!AddressLimitsWork)
        GTEST_SKIP() << "address space limits do not mix with the address sanitizer";
    const QImage pattern = colourPattern(4096, 4096);
    open(writePicture(path("big.bmp"), pattern));
    const StdPicture loaded = form->Picture1.Picture();
    ASSERT_NE(loaded.Handle(), 0);
    form->show();
    // The block made ready for the walk is taken first, so that its fresh buffer needs new address space.
    const QImage held = ImageAllocator::allocate(pattern.size(), QImage::Format_RGB32);

    {
        const AddressSpaceCap cap(16 * 1024 * 1024);
        ASSERT_TRUE(cap.capped());
        decolorize();
    }

    ASSERT_EQ(messageBoxes.size(), 1);
    EXPECT_TRUE(messageBoxes[0].prompt.startsWith(QStringLiteral("实时错误 '7'")))
        << messageBoxes[0].prompt.toStdString();
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->Picture1.Picture() == loaded);
    EXPECT_TRUE(form->Image1.Picture() == loaded);
    const QList<qint32> colours = colourValues(pattern);
    EXPECT_TRUE(surfaceColours(form->Picture1) == colours);
    EXPECT_TRUE(colourValues(loaded.image()) == colours);
    // The procedure ended where the error arose.
    EXPECT_EQ(status(), StatusText::Working);
    EXPECT_FALSE(form->Command3.isEnabled());

    // The window goes on working: the same command, with memory to spare, runs to its end.
    decolorize();
    EXPECT_EQ(status(), StatusText::Decolorized);
    EXPECT_EQ(GetPixel(form->Picture1.hDC(), 4095, 4095), greyColorValue(colours.constLast()));
    EXPECT_EQ(messageBoxes.size(), 1);
}

} // namespace
