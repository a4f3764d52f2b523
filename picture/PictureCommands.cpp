#include "PictureCommands.h"

#include "StatusTexts.h"

#include "controls/App.h"
#include "controls/CommandButton.h"
#include "controls/CommonDialog.h"
#include "controls/ImageControl.h"
#include "controls/PictureBox.h"
#include "controls/PictureFiles.h"
#include "controls/ResumeNext.h"
#include "controls/StatusBar.h"

#include "pixels/grey/Decolorize.h"

#include <QApplication>
#include <QFile>

#include <cmath>

namespace {

// The window is held while a long command runs; the pointer says so.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

// A single-precision value to the nearest 32-bit integer, ties to even; beyond the range is an overflow.
qint32 toInt32(float value)
{
    const double rounded = std::nearbyint(double(value));
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0))
        throw RuntimeError(ErrorNumber::Overflow);
    return qint32(rounded);
}

} // namespace

PictureCommands::PictureCommands(PictureBox &picture1, ImageControl &image1, CommandButton &command3, StatusBar &st1,
                                 CommonDialog &commonDialog1, CommonDialog &commonDialog2)
    : Picture1(picture1)
    , Image1(image1)
    , Command3(command3)
    , St1(st1)
    , CommonDialog1(commonDialog1)
    , CommonDialog2(commonDialog2)
{
}

void PictureCommands::Command1_Click()
{
    if (Picture1.Picture().Handle() == 0) {
        setStatus(StatusText::NoPicture);
        return;
    }
    setStatus(StatusText::Working);
    St1.Panels(2).repaint(); // seen before the walk holds the window

    const WaitCursor wait;
    const qint32 width = toInt32(Picture1.ScaleWidth());
    const qint32 height = toInt32(Picture1.ScaleHeight());
    const HDC dc = Picture1.hDC();
    // The toolkit reports running out of memory for the surface's own pixels as a run-time error.
    if (!decolorizeArea(*dc, width, height))
        throw RuntimeError(ErrorNumber::OutOfMemory);

    Picture1.setPicture(Picture1.Image());
    Image1.setPicture(Picture1.Picture());
    setStatus(StatusText::Decolorized);
    Command3.setEnabled(true);
}

void PictureCommands::Command2_Click()
{
    ResumeNext steps;
    steps.step([&] { CommonDialog1.setFilter(PictureFilter); });
    steps.step([&] { CommonDialog1.ShowOpen(); });
    QString fileName;
    steps.step([&] { fileName = CommonDialog1.FileName(); });
    openPictureFile(QFile::encodeName(fileName));
}

void PictureCommands::openPictureFile(const QByteArray &nativePath)
{
    ResumeNext steps;
    if (steps.test([&] { return nativePath.isEmpty(); })) {
        steps.step([&] { setStatus(StatusText::LoadFailed); });
        return;
    }
    // A file that cannot be loaded is reported as such; the box and the preview keep what they showed.
    bool loaded = false;
    steps.step([&] {
        const WaitCursor wait;
        Picture1.setPicture(LoadPicture(nativePath));
        loaded = true;
    });
    if (!loaded) {
        steps.step([&] { setStatus(StatusText::LoadFailed); });
        return;
    }
    steps.step([&] { Image1.setPicture(Picture1.Picture()); });
    steps.step([&] { setStatus(StatusText::Loaded); });
}

void PictureCommands::Command3_Click()
{
    ResumeNext steps;
    steps.step([&] { CommonDialog2.setCancelError(true); });
    steps.step([&] { CommonDialog2.setDefaultExt(App::Path()); });
    steps.step([&] { CommonDialog2.ShowSave(); });
    if (steps.test([&] { return steps.Err() == ErrorNumber::DialogCancelled; })) {
        steps.step([&] { setStatus(StatusText::SaveCancelled); });
        return;
    }
    if (steps.test([&] { return Picture1.Picture().Handle() == 0; })) {
        steps.step([&] { setStatus(StatusText::NoPicture); });
        return;
    }
    // A save that fails says so; it never claims a file that was not written.
    bool saved = false;
    steps.step([&] {
        const WaitCursor wait;
        SavePicture(Picture1.Image(), CommonDialog2.FileName());
        saved = true;
    });
    // A failure names the path the user picked, also one that the dialog could not hand over as FileName.
    steps.step([&] {
        setStatus(saved ? StatusText::SavedTo + CommonDialog2.FileName()
                        : StatusText::SaveFailedAt + CommonDialog2.chosenPath());
    });
}

void PictureCommands::Picture1_Paint()
{
    Picture1.setAutoRedraw(true);
    const StdPicture picture = Picture1.Picture();
    const float width = Picture1.ScaleWidth();
    const float height = Picture1.ScaleHeight();
    Picture1.PaintPicture(picture, 0, 0, width, height);
}

void PictureCommands::setStatus(const QString &text)
{
    St1.Panels(2).setText(text);
}
