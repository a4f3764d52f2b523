// The decolorize button on the real window.

#include "WorkflowFixture.h"

#include "picture/StatusTexts.h"
#include "tests/pixels/grey/GreyRule.h"
#include "tests/support/Gdi.h"

#include <QTest>

namespace {

QList<qint32> greyOf(const QList<qint32> &colours)
{
    QList<qint32> greys;
    for (const qint32 colour : colours)
        greys << greyColorValue(colour);
    return greys;
}

bool allGrey(const QList<qint32> &colours)
{
    for (const qint32 colour : colours)
        if (greyColorValue(colour) != colour)
            return false;
    return true;
}

TEST_F(WorkflowTest, DecolorizeTurnsEveryPixelToTheRulesGrey)
{
    const QImage pattern = colourPattern(67, 41);
    open(writePicture(path("colour.bmp"), pattern));
    const StdPicture loaded = form->Picture1.Picture();
    ASSERT_NE(loaded.Handle(), 0);
    ASSERT_EQ(surfaceColours(form->Picture1), colourValues(pattern));
    EXPECT_FALSE(form->Command3.isEnabled());

    decolorize();

    EXPECT_EQ(status(), QStringLiteral("图片去色成功!请点击保存本图片!"));
    EXPECT_TRUE(form->Command3.isEnabled());
    EXPECT_EQ(surfaceColours(form->Picture1), greyOf(colourValues(pattern)));
    // The surface became a new picture object, shown by the preview too.
    const StdPicture grey = form->Picture1.Picture();
    EXPECT_NE(grey.Handle(), 0);
    EXPECT_FALSE(grey == loaded);
    EXPECT_NE(grey.Handle(), loaded.Handle());
    EXPECT_TRUE(form->Image1.Picture() == grey);
    EXPECT_EQ(colourValues(grey.image()), greyOf(colourValues(pattern)));
    EXPECT_FALSE(form->Image1.shownImage().isNull());
    EXPECT_TRUE(form->Image1.shownImage().allGray()) << "the preview still shows the colour picture";
    // The picture that was loaded is a picture object of its own: the walk did not paint over it.
    EXPECT_EQ(colourValues(loaded.image()), colourValues(pattern));
    EXPECT_TRUE(messageBoxes.isEmpty());
}

TEST_F(WorkflowTest, DecolorizeOfAJpegUsesTheLoadedColours)
{
    const QString file = writePicture(path("colour.jpg"), colourPattern(50, 30, 3));
    open(file);
    const QList<qint32> loaded = surfaceColours(form->Picture1);
    ASSERT_FALSE(allGrey(loaded));
    decolorize();
    EXPECT_EQ(surfaceColours(form->Picture1), greyOf(loaded));
    EXPECT_EQ(status(), StatusText::Decolorized);
}

TEST_F(WorkflowTest, DecolorizeWithoutAPictureOnlyReports)
{
    const QList<qint32> surface = surfaceColours(form->Picture1);
    decolorize();
    EXPECT_EQ(status(), StatusText::NoPicture);
    EXPECT_EQ(form->Picture1.Picture().Handle(), 0);
    EXPECT_EQ(form->Image1.Picture().Handle(), 0);
    EXPECT_FALSE(form->Command3.isEnabled());
    EXPECT_EQ(surfaceColours(form->Picture1), surface);
    EXPECT_TRUE(messageBoxes.isEmpty());
    EXPECT_TRUE(dialogRequests.isEmpty());
}

TEST_F(WorkflowTest, SecondDecolorizeKeepsThePixelsAndTakesANewPicture)
{
    const QImage pattern = colourPattern(33, 17, 1);
    open(writePicture(path("colour.bmp"), pattern));
    decolorize();
    const StdPicture first = form->Picture1.Picture();
    const QList<qint32> once = surfaceColours(form->Picture1);

    form->St1.Panels(2).setText(QString());
    decolorize();

    EXPECT_EQ(surfaceColours(form->Picture1), once);
    EXPECT_EQ(colourValues(first.image()), once);
    const StdPicture second = form->Picture1.Picture();
    EXPECT_FALSE(second == first);
    EXPECT_NE(second.Handle(), first.Handle());
    EXPECT_TRUE(form->Image1.Picture() == second);
    EXPECT_EQ(status(), StatusText::Decolorized);
    EXPECT_TRUE(form->Command3.isEnabled());
}

// The first text the status line shows on the screen from the moment it is watched.
class FirstPaintedText : public QObject
{
public:
    explicit FirstPaintedText(StatusPanel &panel)
        : m_panel(panel)
    {
        panel.installEventFilter(this);
    }
    QString text;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && text.isNull())
            text = m_panel.Text();
        return false;
    }

private:
    StatusPanel &m_panel;
};

TEST_F(WorkflowTest, TheWaitTextIsOnTheScreenWhileTheWalkHoldsTheWindow)
{
    open(writePicture(path("colour.bmp"), colourPattern(30, 20)));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const FirstPaintedText painted(form->St1.Panels(2));
    decolorize();
    EXPECT_EQ(painted.text, QStringLiteral("程序正在进行处理...请您稍等..."));
}

TEST_F(WorkflowTest, SaveButtonStaysEnabledWhateverFollows)
{
    open(writePicture(path("a.bmp"), colourPattern(8, 8)));
    decolorize();
    ASSERT_TRUE(form->Command3.isEnabled());

    open(writePicture(path("b.bmp"), colourPattern(9, 5, 2)));
    EXPECT_TRUE(form->Command3.isEnabled());
    open(path("missing.bmp"));
    EXPECT_TRUE(form->Command3.isEnabled());
    answerDialogs({cancel()});
    form->Command2.click();
    EXPECT_TRUE(form->Command3.isEnabled());
    answerDialogs({cancel()});
    form->Command3.click();
    EXPECT_TRUE(form->Command3.isEnabled());
}

TEST_F(WorkflowTest, AnEmptyInnerAreaStillFinishesTheCommand)
{
    const QImage pattern = colourPattern(10, 10);
    open(writePicture(path("colour.bmp"), pattern));
    ASSERT_NE(form->Picture1.Picture().Handle(), 0);
    // The box squeezed to no inner width at all.
    form->Picture1.setAutoSize(false);
    form->Picture1.resize(2 * PictureBox::BorderWidth, 30);
    ASSERT_EQ(form->Picture1.ScaleWidth(), 0.0f);
    const StdPicture loaded = form->Picture1.Picture();

    decolorize();

    EXPECT_EQ(status(), StatusText::Decolorized);
    EXPECT_TRUE(form->Command3.isEnabled());
    EXPECT_FALSE(form->Picture1.Picture() == loaded);
    EXPECT_TRUE(form->Image1.Picture() == form->Picture1.Picture());
    EXPECT_EQ(colourValues(loaded.image()), colourValues(pattern));
    EXPECT_TRUE(messageBoxes.isEmpty());
}

TEST_F(WorkflowTest, TheBackgroundAroundASmallerPictureTurnsGreyToo)
{
    form->Picture1.setAutoSize(false);
    form->Picture1.resize(40 + 2 * PictureBox::BorderWidth, 30 + 2 * PictureBox::BorderWidth);
    QPalette palette = form->Picture1.palette();
    const QColor background(200, 100, 50);
    palette.setColor(QPalette::Button, background);
    form->Picture1.setPalette(palette);

    const QImage pattern = colourPattern(12, 7);
    open(writePicture(path("small.bmp"), pattern));
    ASSERT_EQ(form->Picture1.ScaleWidth(), 40.0f);
    ASSERT_EQ(form->Picture1.ScaleHeight(), 30.0f);
    const HDC dc = form->Picture1.hDC();
    const qint32 backgroundColour = RGB(200, 100, 50);
    ASSERT_EQ(GetPixel(dc, 39, 29), backgroundColour);
    ASSERT_EQ(GetPixel(dc, 11, 6), colourValues(pattern).constLast());
    const QList<qint32> before = surfaceColours(form->Picture1);

    decolorize();

    EXPECT_EQ(surfaceColours(form->Picture1), greyOf(before));
    EXPECT_EQ(GetPixel(form->Picture1.hDC(), 39, 29), RGB(124, 124, 124));
    EXPECT_EQ(form->Picture1.Picture().image().size(), QSize(40, 30));
    EXPECT_EQ(status(), StatusText::Decolorized);
}

} // namespace
