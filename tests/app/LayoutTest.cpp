#include "FormFixture.h"

#include "errors/RuntimeError.h"
#include "picture/PictureCommands.h"

#include <QApplication>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTest>

namespace {

// Where the style draws a frame's border and its title, in the frame's own coordinates.
QRect groupBoxPart(const QGroupBox &frame, QStyle::SubControl part)
{
    QStyleOptionGroupBox option;
    option.initFrom(&frame);
    option.text = frame.title();
    option.lineWidth = 1;
    option.textAlignment = frame.alignment();
    option.subControls =
        QStyle::SC_GroupBoxFrame | (frame.title().isEmpty() ? QStyle::SC_None : QStyle::SC_GroupBoxLabel);
    return frame.style()->subControlRect(QStyle::CC_GroupBox, &option, part, &frame);
}

QImage uniform(QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

TEST_F(FormTest, EveryControlStandsWhereTheDescriptionPutsIt)
{
    form->show();
    // Left, top, width and height at 96 dots per inch, each relative to its container.
    const std::pair<const QWidget *, QRect> places[] = {
        {&form->Frame2, {24, 16, 433, 89}},      {&form->Image2, {4, 10, 425, 75}},
        {&form->Command2, {32, 120, 97, 33}},    {&form->Command1, {136, 120, 97, 33}},
        {&form->Command3, {248, 120, 97, 33}},   {&form->Command4, {360, 120, 97, 33}},
        {&form->Frame1, {24, 160, 433, 393}},    {&form->Image1, {8, 16, 417, 369}},
        {&form->Command5, {24, 560, 105, 33}},   {&form->Command6, {184, 560, 105, 33}},
        {&form->Command7, {352, 560, 105, 33}},  {&form->St1, {0, 601, 481, 41}},
        {&form->Picture1, {976, 112, 253, 305}},
    };
    for (const auto &[control, pixels] : places)
        EXPECT_EQ(control->geometry(), pixels) << control->metaObject()->className();
    EXPECT_EQ(form->Image2.parentWidget(), &form->Frame2);
    EXPECT_EQ(form->Image1.parentWidget(), &form->Frame1);
}

TEST_F(FormTest, WindowHasItsCaptionIconAndOneSizeWithMinimizeAndCloseBoxesOnly)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Kelvo.图片去色黑白工具"));
    for (int side : {16, 24, 32, 48})
        EXPECT_TRUE(form->windowIcon().availableSizes().contains(QSize(side, side))) << side;
    EXPECT_EQ(form->size(), QSize(481, 642));
    EXPECT_EQ(form->minimumSize(), QSize(481, 642));
    EXPECT_EQ(form->maximumSize(), QSize(481, 642));
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(GetWindowLongA(form.get(), GWL_STYLE),
              WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);

    // Before its load procedure the window still has its sizing border.
    Form1 unloaded;
    EXPECT_TRUE(GetWindowLongA(&unloaded, GWL_STYLE) & WS_THICKFRAME);
    EXPECT_NE(unloaded.minimumSize(), unloaded.maximumSize());
    EXPECT_FALSE(unloaded.windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(FormTest, WindowOpensCentredWithItsTitleBarOnTheScreen)
{
    form->show();
    const QRect available = form->screen()->availableGeometry();
    const QRect frame = form->frameGeometry();
    EXPECT_LE(qAbs(frame.center().x() - available.center().x()), 1);
    if (frame.height() <= available.height())
        EXPECT_LE(qAbs(frame.center().y() - available.center().y()), 1);
    else
        EXPECT_EQ(frame.top(), available.top());
}

TEST_F(FormTest, ControlsStartWithTheirCaptionsAndStates)
{
    const std::pair<const CommandButton *, const char16_t *> captions[] = {
        {&form->Command1, u"去色"},          {&form->Command2, u"浏览"},          {&form->Command3, u"保存"},
        {&form->Command4, u"退出"},          {&form->Command5, u"访问Ovrel博客"}, {&form->Command6, u"访问Ovrel论坛"},
        {&form->Command7, u"访问Ovrel网店"},
    };
    form->show();
    for (const auto &[button, caption] : captions) {
        EXPECT_EQ(button->text(), QString::fromUtf16(caption));
        EXPECT_EQ(button->isEnabled(), button != &form->Command3) << button->text().toStdString();
        EXPECT_FALSE(button->isDefault());
        EXPECT_TRUE(button->isVisible());
    }
    EXPECT_EQ(form->Frame2.title(), QString());
    EXPECT_EQ(form->Frame1.title(), QStringLiteral("图片预览[再导入时可能进行了尺寸压缩,但不会损坏您的图片]"));
    EXPECT_EQ(form->Image1.Picture().Handle(), 0);
    EXPECT_TRUE(form->Image1.Stretch());
    EXPECT_EQ(form->Picture1.Picture().Handle(), 0);
    EXPECT_TRUE(form->Picture1.AutoSize());

    // Clicking the disabled save button does nothing.
    QTest::mouseClick(&form->Command3, Qt::LeftButton);
    EXPECT_EQ(status(), QStringLiteral("请先选择一张您要去色变为黑白颜色的图片"));
}

TEST_F(FormTest, BannerShowsAtItsNaturalSizeInsideItsFrameWithItsTip)
{
    form->show();
    EXPECT_FALSE(form->Image2.Stretch());
    EXPECT_EQ(form->Image2.Picture().image().size(), QSize(425, 75));
    EXPECT_EQ(form->Image2.shownImage().size(), QSize(425, 75));
    EXPECT_EQ(form->Image2.ToolTipText(), QStringLiteral("Kelvo.图片去色黑白工具"));

    // The frames' borders, as the attached skin draws them, enclose what the frames hold.
    const QRect bannerBorder = groupBoxPart(form->Frame2, QStyle::SC_GroupBoxFrame);
    EXPECT_TRUE(bannerBorder.adjusted(1, 1, -1, -1).contains(form->Image2.geometry()))
        << "border " << bannerBorder.y() << ".." << bannerBorder.bottom();
    const QRect previewBorder = groupBoxPart(form->Frame1, QStyle::SC_GroupBoxFrame);
    EXPECT_TRUE(previewBorder.adjusted(1, 1, -1, -1).contains(form->Image1.geometry()));
    const QRect title = groupBoxPart(form->Frame1, QStyle::SC_GroupBoxLabel);
    EXPECT_LT(title.top(), previewBorder.top()) << "the title sits on the border line";
    EXPECT_GT(title.bottom(), previewBorder.top());
}

TEST_F(FormTest, StatusBarHasItsThreePanelsDockedAtTheBottom)
{
    form->show();
    StatusBar &bar = form->St1;
    ASSERT_EQ(bar.panelCount(), 3);
    const struct
    {
        const char16_t *text;
        int autoSize, width, minWidth;
        int left, pixels;
    } panels[] = {
        {u"运行状态：", StatusPanel::sbrContents, 1931, 1941, 0, 73},
        {u"请先选择一张您要去色变为黑白颜色的图片", StatusPanel::sbrSpring, 7673, 2540, 73, 290},
        {u"QuenOvrel出品", StatusPanel::sbrNoAutoSize, 2540, 2540, 363, 96},
    };
    for (qint16 i = 1; i <= 3; ++i) {
        const auto &expected = panels[i - 1];
        StatusPanel &panel = bar.Panels(i);
        EXPECT_EQ(panel.Text(), QString::fromUtf16(expected.text)) << i;
        EXPECT_EQ(panel.AutoSize(), expected.autoSize) << i;
        EXPECT_EQ(panel.Width(), expected.width) << i;
        EXPECT_EQ(panel.MinWidth(), expected.minWidth) << i;
        EXPECT_EQ(panel.x(), expected.left) << i;
        EXPECT_EQ(panel.width(), expected.pixels) << i;
        // Each text is seen whole.
        const int textWidth = panel.fontMetrics().horizontalAdvance(panel.text()) + panel.indent();
        EXPECT_LE(textWidth, panel.contentsRect().width()) << i;
    }
    EXPECT_EQ(bar.geometry(), QRect(0, form->height() - 41, form->width(), 41));
    EXPECT_EQ(bar.width() - bar.Panels(3).geometry().right() - 1, StatusBar::FreeStripWidth);
    EXPECT_THROW(bar.Panels(4), RuntimeError);
    EXPECT_THROW(bar.Panels(0), RuntimeError);

    // A wider bar gives all the room to the spring panel; a longer label widens the contents panel.
    bar.resize(600, bar.height());
    EXPECT_EQ(bar.Panels(2).width(), 600 - StatusBar::FreeStripWidth - 73 - 96);
    EXPECT_EQ(bar.Panels(3).x(), 73 + bar.Panels(2).width());
    bar.Panels(1).setText(QStringLiteral("运行状态：很长很长的一段说明"));
    QApplication::processEvents();
    EXPECT_EQ(bar.Panels(1).width(), bar.Panels(1).sizeHint().width());
    EXPECT_EQ(bar.Panels(2).x(), bar.Panels(1).width());
    EXPECT_EQ(bar.Panels(3).geometry().right(), 600 - StatusBar::FreeStripWidth - 1);
}

TEST_F(FormTest, PreviewStretchesEveryPictureOnceAndSmoothly)
{
    form->show();
    ImageControl &preview = form->Image1;
    for (QSize size : {QSize(1000, 800), QSize(50, 50)}) {
        // Left half black, right half white: a smooth scaling shows greys where they meet.
        QImage picture = uniform(size, qRgb(0, 0, 0));
        for (int y = 0; y < size.height(); ++y)
            for (int x = size.width() / 2; x < size.width(); ++x)
                picture.setPixel(x, y, qRgb(255, 255, 255));
        preview.setPicture(StdPicture(picture));
        EXPECT_EQ(preview.size(), QSize(417, 369));
        const QImage &shown = preview.shownImage();
        ASSERT_EQ(shown.size(), QSize(417, 369));
        const int grey = qRed(shown.pixel(208, 180));
        EXPECT_GT(grey, 0) << size.width();
        EXPECT_LT(grey, 255) << size.width();

        const qint64 scaled = shown.cacheKey();
        preview.repaint();
        form->repaint();
        QApplication::processEvents();
        EXPECT_EQ(preview.shownImage().cacheKey(), scaled) << "scaled again at a repaint";
    }
}

TEST_F(FormTest, WorkPictureBoxTakesEachPictureSizeAndIsNeverSeen)
{
    form->show();
    for (QSize size : {QSize(1000, 800), QSize(50, 50)}) {
        const QString file = writePicture(QStringLiteral("p%1.bmp").arg(size.width()), size);
        CommonDialog::setScript([&](const CommonDialog::Request &) { return CommonDialog::Answer::choose(file); });
        form->Command2.click();
        EXPECT_EQ(form->Picture1.ScaleWidth(), float(size.width()));
        EXPECT_EQ(form->Picture1.ScaleHeight(), float(size.height()));
        EXPECT_EQ(form->Picture1.pos(), QPoint(976, 112));
        EXPECT_FALSE(form->rect().intersects(form->Picture1.geometry()));
        EXPECT_TRUE(form->Picture1.visibleRegion().isEmpty());
        EXPECT_EQ(form->Image1.shownImage().size(), QSize(417, 369));
        EXPECT_EQ(form->Image1.Picture(), form->Picture1.Picture());
    }
}

TEST_F(FormTest, DialogsCarryTheirDescribedSettings)
{
    const CommonDialog &open = form->CommonDialog1;
    EXPECT_EQ(open.DialogTitle(), QStringLiteral("请选择图片"));
    EXPECT_EQ(open.Filter(), QStringLiteral("*.*"));
    EXPECT_EQ(open.MaxFileSize(), 260);
    EXPECT_FALSE(open.CancelError());
    const CommonDialog &save = form->CommonDialog2;
    EXPECT_EQ(save.DialogTitle(), QStringLiteral("请选择保存的路径"));
    EXPECT_EQ(save.Filter(), QStringLiteral("图片文件(*.jpg)|*.jpg|图片文件(*.bmp)|*.bmp"));
    EXPECT_EQ(save.MaxFileSize(), 260);
    EXPECT_FALSE(save.CancelError());

    Form1 unloaded;
    EXPECT_EQ(unloaded.CommonDialog2.Filter(), QString());
}
