#pragma once

#include "pixels/files/PictureFormat.h"

#include <QByteArray>
#include <QString>

class CommandButton;
class CommonDialog;
class ImageControl;
class PictureBox;
class StatusBar;

// The event procedures of the main window that work on the picture: open, decolorize, save, repaint.
// They reach the window only through the controls they are given.
class PictureCommands
{
public:
    // The filter of the open and save dialogs: JPEG first, then BMP.
    static inline const QString PictureFilter =
        QStringLiteral("图片文件(*.%1)|*.%1|图片文件(*.%2)|*.%2")
            .arg(pictureFormatName(PictureFormat::Jpeg), pictureFormatName(PictureFormat::Bitmap));

    PictureCommands(PictureBox &picture1, ImageControl &image1, CommandButton &command3, StatusBar &st1,
                    CommonDialog &commonDialog1, CommonDialog &commonDialog2);

    void Command1_Click(); // "去色": decolorize the work picture
    void Command2_Click(); // "浏览": open a picture
    void Command3_Click(); // "保存": save the work picture
    void Picture1_Paint(); // repaint of the work picture box

    // The open command's steps after its dialog, for the file by the bytes the system spells its name with: also
    // what a file named at start or dropped on the window takes, whose name may be valid in no encoding.
    void openPictureFile(const QByteArray &nativePath);

private:
    void setStatus(const QString &text);

    PictureBox &Picture1;
    ImageControl &Image1;
    CommandButton &Command3;
    StatusBar &St1;
    CommonDialog &CommonDialog1;
    CommonDialog &CommonDialog2;
};
