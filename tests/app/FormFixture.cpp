#include "FormFixture.h"

#include "controls/App.h"
#include "controls/CommonDialog.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTest>

void FormTest::SetUp()
{
    ASSERT_TRUE(m_folder.isValid());
    // Tests run in the program's folder, where the skin library is.
    App::setPathForTesting(qEnvironmentVariable("KELVO_PROGRAM_DIR", QDir::currentPath()));
    setMessageBoxScript([this](const MessageBoxRequest &request) {
        boxes.append(request);
        return answer;
    });
    form = std::make_unique<Form1>();
    form->Form_Load();
}

void FormTest::TearDown()
{
    form.reset();
    setMessageBoxScript({});
    CommonDialog::setScript({});
    App::setPathForTesting({});
}

void FormTest::showActive()
{
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
}

QString FormTest::status() const
{
    return form->St1.Panels(2).Text();
}

QString FormTest::writePicture(const QString &name, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x * 255 / size.width(), y * 255 / size.height(), 90));
    const QString file = path(name);
    EXPECT_TRUE(image.save(file));
    return file;
}

WindowState::WindowState(Form1 &form)
    : visible(form.isVisible())
    , geometry(form.geometry())
    , picture(form.Picture1.Picture())
    , preview(form.Image1.Picture())
    , status(form.St1.Panels(2).Text())
{
    for (const CommandButton *button : {&form.Command1, &form.Command2, &form.Command3, &form.Command4, &form.Command5,
                                        &form.Command6, &form.Command7})
        buttonsEnabled.append(button->isEnabled());
}
