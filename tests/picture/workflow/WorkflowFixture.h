#pragma once

#include "app/Form1.h"
#include "controls/CommonDialog.h"
#include "controls/MessageBox.h"

#include <QImage>
#include <QList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <ostream>

// Failure messages show texts as text.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

// The real window after start-up, its dialogs and message boxes answered by script, and a folder of pictures
// with known colours.
class WorkflowTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The next dialogs shown are answered in this order; a dialog beyond them fails the test and is cancelled.
    void answerDialogs(std::initializer_list<CommonDialog::Answer> answers);
    static CommonDialog::Answer choose(const QString &path, int filterIndex = 0)
    {
        return CommonDialog::Answer::choose(path, filterIndex);
    }
    static CommonDialog::Answer cancel() { return CommonDialog::Answer::cancel(); }

    QString status() const;
    QString path(const QString &name) const { return m_folder.filePath(name); }
    QString folder() const { return m_folder.path(); }
    // The names in the test folder, to tell that nothing was left behind.
    QStringList folderEntries() const;

    // Clicks through the buttons as a user would: open `file`, decolorize, save under `target`.
    void open(const QString &file);
    void decolorize() { form->Command1.click(); }
    void save(const QString &target, int filterIndex = 0);

    std::unique_ptr<Form1> form;
    QList<CommonDialog::Request> dialogRequests;
    QList<MessageBoxRequest> messageBoxes;

private:
    QTemporaryDir m_folder;
    std::deque<CommonDialog::Answer> m_answers;
};

// Runs `body` in a forked copy of this process (for limits that must not touch the test runner) and returns
// its result: 0 when every check inside passed, else a bit per failed check; -1 when the child died.
int runInChild(const std::function<int()> &body);

// A picture whose every pixel has its own known colour, none of them grey.
QImage colourPattern(int width, int height, int seed = 0);

// Writes `image` as a BMP (lossless) or a JPEG (by the name's suffix) and returns the path.
QString writePicture(const QString &path, const QImage &image);

// What the toolkit's pixel function reads at every pixel of the work picture box, as colour values.
QList<qint32> surfaceColours(PictureBox &box);
// The same for an image, read as colour values (red in the low byte).
QList<qint32> colourValues(const QImage &image);

QByteArray fileBytes(const QString &path);
// The bits per pixel in a BMP file's BITMAPINFOHEADER, or 0 when the file is no BMP.
int bmpBitCount(const QString &path);
// The image format told from a file's content, "bmp" or "jpeg" for instance.
QByteArray formatByContent(const QString &path);
