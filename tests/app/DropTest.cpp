#include "FormFixture.h"

#include "controls/CommonDialog.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include <cstdio>

namespace {

const QString Loaded = QStringLiteral("图片加载成功!请点击去色按钮进行调试!");
const QString LoadFailed = QStringLiteral("图片加载失败!请先选择要去色变为黑白的图片!");

std::unique_ptr<QMimeData> urls(const QList<QUrl> &list)
{
    auto data = std::make_unique<QMimeData>();
    data->setUrls(list);
    return data;
}

// A name in GBK ("中文照片"), as archives made on older Chinese systems unpack: no valid UTF-8.
const QByteArray GbkName = QByteArrayLiteral("\xD6\xD0\xCE\xC4\xD5\xD5\xC6\xAC.bmp");

std::unique_ptr<QMimeData> files(const QStringList &paths)
{
    QList<QUrl> list;
    for (const QString &path : paths)
        list << QUrl::fromLocalFile(path);
    return urls(list);
}

// Drags `data` into the window, as a file manager offers a file to copy or to move, the user holding Shift for a
// move. Whether the window takes the drag: only then does it get the drop.
bool dragEnter(Form1 &form, const QMimeData &data)
{
    QDragEnterEvent enter(form.rect().center(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                          Qt::ShiftModifier);
    EXPECT_EQ(enter.proposedAction(), Qt::MoveAction);
    QApplication::sendEvent(&form, &enter);
    return enter.isAccepted();
}

// Drags `data` into the window and drops it there. Returns the action the window took.
Qt::DropAction drop(Form1 &form, const QMimeData &data)
{
    if (!dragEnter(form, data))
        return Qt::IgnoreAction;
    QDropEvent dropped(form.rect().center(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(&form, &dropped);
    QApplication::processEvents();
    return dropped.isAccepted() ? dropped.dropAction() : Qt::IgnoreAction;
}

} // namespace

TEST_F(FormTest, DroppedPictureOpensAsTheOpenCommandOpensItAndIsOnlyCopied)
{
    form->show();
    for (const QString &name : {QStringLiteral("a.jpg"), QStringLiteral("b.bmp")}) {
        const QString file = writePicture(name, {64, 48});
        EXPECT_EQ(drop(*form, *files({file})), Qt::CopyAction) << "a move would let the source delete the file";
        EXPECT_EQ(status(), Loaded);
        EXPECT_EQ(form->Picture1.Picture().image().size(), QSize(64, 48));
        EXPECT_EQ(form->Image1.Picture(), form->Picture1.Picture());
        EXPECT_TRUE(QFile::exists(file));
    }

    // A name that is no UTF-8 travels in the URL's own bytes and opens as any other.
    const QByteArray gbkFile = QFile::encodeName(path(QString())) + '/' + GbkName;
    const QByteArray written = QFile::encodeName(writePicture(QStringLiteral("gbk.bmp"), {40, 30}));
    ASSERT_EQ(std::rename(written.constData(), gbkFile.constData()), 0);
    const QList<QUrl> gbkUrl = {QUrl::fromEncoded("file://" + gbkFile.toPercentEncoding("/"))};
    form->St1.Panels(2).setText(QString());
    EXPECT_EQ(drop(*form, *urls(gbkUrl)), Qt::CopyAction);
    EXPECT_EQ(status(), Loaded);
    EXPECT_EQ(form->Picture1.Picture().image().size(), QSize(40, 30));

    // The open command ends the same way for the same file.

    const QString file = writePicture(QStringLiteral("c.bmp"), {20, 10});
    drop(*form, *files({file}));
    const QImage dropped = form->Picture1.Picture().image();
    form->St1.Panels(2).setText(QString());
    CommonDialog::setScript([&](const CommonDialog::Request &) { return CommonDialog::Answer::choose(file); });
    form->Command2.click();
    EXPECT_EQ(status(), Loaded);
    EXPECT_EQ(form->Picture1.Picture().image(), dropped);
}

TEST_F(FormTest, OnlyADragOfOneFileIsTakenAndAFileThatIsNoPictureGivesTheOpenFailure)
{
    form->show();
    drop(*form, *files({writePicture(QStringLiteral("kept.bmp"), {30, 20})}));
    const StdPicture kept = form->Picture1.Picture();

    QFile text(path(QStringLiteral("notes.txt")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture\n");
    text.close();
    form->St1.Panels(2).setText(QString());
    EXPECT_EQ(drop(*form, *files({text.fileName()})), Qt::CopyAction);
    EXPECT_EQ(status(), LoadFailed);
    EXPECT_EQ(form->Picture1.Picture(), kept);
    EXPECT_EQ(form->Image1.Picture(), kept);

    // Refused as they enter, so that the pointer says so before a drop, which the window then never gets.
    const QString other = writePicture(QStringLiteral("other.bmp"), {8, 8});
    auto plainText = std::make_unique<QMimeData>();
    plainText->setText(QStringLiteral("hello"));
    const std::pair<const char *, std::unique_ptr<QMimeData>> refused[] = {
        {"two pictures", files({other, other})},
        {"folder", files({path(QString())})},
        {"missing file", files({path(QStringLiteral("gone.jpg"))})},
        {"web address", urls({QUrl(QStringLiteral("http://example.org/a.jpg"))})},
        {"plain text", std::move(plainText)},
    };
    for (const auto &[name, data] : refused)
        EXPECT_FALSE(dragEnter(*form, *data)) << name;
}
