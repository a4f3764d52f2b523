#include "Form1.h"

#include "WebLinks.h"
#include "WindowDescription.h"

#include "controls/AccessibleRole.h"
#include "controls/App.h"
#include "controls/EventProcedure.h"
#include "controls/MessageBox.h"
#include "controls/Shell.h"
#include "controls/SkinH.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>
#include <QUrl>

#include <sys/stat.h>

using WindowDescription::fromTwips;

namespace {

// The description's window: caption, system menu, minimize box, sizing border; no maximize box.
constexpr qint32 DescribedStyle =
    WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;

const QString QuitPrompt = QStringLiteral("您确定退出本程序吗?");
const QString QuitTitle = QStringLiteral("QuenOvrel提示");

} // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent)
    , Frame2(this)
    , Image2(&Frame2)
    , Command2(QStringLiteral("浏览"), this)
    , Command1(QStringLiteral("去色"), this)
    , Command3(QStringLiteral("保存"), this)
    , Command4(QStringLiteral("退出"), this)
    , Frame1(QStringLiteral("图片预览[再导入时可能进行了尺寸压缩,但不会损坏您的图片]"), this)
    , Image1(&Frame1)
    , Command5(QStringLiteral("访问Ovrel博客"), this)
    , Command6(QStringLiteral("访问Ovrel论坛"), this)
    , Command7(QStringLiteral("访问Ovrel网店"), this)
    , St1(this)
    , Picture1(this)
    , CommonDialog1(this)
    , CommonDialog2(this)
    , m_pictureCommands(Picture1, Image1, Command3, St1, CommonDialog1, CommonDialog2)
{
    // Told to assistive technology as a top-level frame, as the window manager treats it.
    setAccessibleRoleOfClass(metaObject()->className(), QAccessible::Window);
    buildFromDescription();
    setTabOrderFromDescription();
    connectEventProcedures();
    setAcceptDrops(true);
}

void Form1::buildFromDescription()
{
    setWindowTitle(Caption);
    setWindowIcon(QIcon(QStringLiteral(":/kelvo.ico")));
    resize(WindowDescription::ClientSize);
    initWindowStyle(hWnd(), DescribedStyle);

    Frame2.setGeometry(fromTwips(360, 240, 6495, 1335));
    Image2.setGeometry(fromTwips(60, 145, 6375, 1125));
    Image2.setStretch(false);
    Image2.setPicture(StdPicture(QImage(QStringLiteral(":/banner.jpg"))));
    Image2.setToolTipText(Caption);

    Command2.setGeometry(fromTwips(480, 1800, 1455, 495));
    Command1.setGeometry(fromTwips(2040, 1800, 1455, 495));
    Command3.setGeometry(fromTwips(3720, 1800, 1455, 495));
    Command3.setEnabled(false);
    Command4.setGeometry(fromTwips(5400, 1800, 1455, 495));
    // The usual keys for open and save press the buttons; a disabled button ignores its key.
    Command2.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    Command3.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));

    Frame1.setGeometry(fromTwips(360, 2400, 6495, 5895));
    Image1.setGeometry(fromTwips(120, 240, 6255, 5535));
    Image1.setStretch(true);

    Command5.setGeometry(fromTwips(360, 8400, 1575, 495));
    Command6.setGeometry(fromTwips(2760, 8400, 1575, 495));
    Command7.setGeometry(fromTwips(5280, 8400, 1575, 495));

    buildStatusBar();

    // The work picture box lies beyond the right edge of the client area, where it is never seen.
    Picture1.setGeometry(fromTwips(14640, 1680, 3795, 4575));
    Picture1.setAutoSize(true);
    // Focus there would vanish from the user's sight; the Tab key passes it by.
    Picture1.setFocusPolicy(Qt::NoFocus);

    CommonDialog1.setDialogTitle(QStringLiteral("请选择图片"));
    CommonDialog1.setFilter(QStringLiteral("*.*"));
    CommonDialog1.setMaxFileSize(260);
    CommonDialog2.setDialogTitle(QStringLiteral("请选择保存的路径"));
    CommonDialog2.setMaxFileSize(260);
}

void Form1::buildStatusBar()
{
    St1.setGeometry(fromTwips(0, 9015, 7215, 615));
    struct PanelDescription
    {
        const char16_t *text;
        int autoSize;
        int width;
        int minWidth;
    };
    const PanelDescription panels[] = {
        {u"运行状态：", StatusPanel::sbrContents, 1931, 1941},
        {u"请先选择一张您要去色变为黑白颜色的图片", StatusPanel::sbrSpring, 7673, 2540},
        {u"QuenOvrel出品", StatusPanel::sbrNoAutoSize, 2540, 2540},
    };
    for (const PanelDescription &description : panels) {
        StatusPanel &panel = St1.addPanel();
        panel.setAutoSize(description.autoSize);
        panel.setWidth(description.width);
        panel.setMinWidth(description.minWidth);
        panel.setText(QString::fromUtf16(description.text));
    }
}

void Form1::setTabOrderFromDescription()
{
    // TabIndex order; frames, images and the status bar take no focus.
    QWidget *const order[] = {&Picture1, &Command1, &Command2, &Command3, &Command4, &Command5, &Command6, &Command7};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void Form1::connectEventProcedures()
{
    const auto bind = [this](CommandButton &button, void (Form1::*procedure)()) {
        connect(&button, &QPushButton::clicked, this,
                [this, procedure] { runEventProcedure([&] { (this->*procedure)(); }); });
    };
    const auto bindPicture = [this](CommandButton &button, void (PictureCommands::*procedure)()) {
        connect(&button, &QPushButton::clicked, this,
                [this, procedure] { runEventProcedure([&] { (m_pictureCommands.*procedure)(); }); });
    };
    bindPicture(Command1, &PictureCommands::Command1_Click);
    bindPicture(Command2, &PictureCommands::Command2_Click);
    bindPicture(Command3, &PictureCommands::Command3_Click);
    bind(Command4, &Form1::Command4_Click);
    bind(Command5, &Form1::Command5_Click);
    bind(Command6, &Form1::Command6_Click);
    bind(Command7, &Form1::Command7_Click);
    connect(&Picture1, &PictureBox::Paint, this,
            [this] { runEventProcedure([&] { m_pictureCommands.Picture1_Paint(); }); });
    connect(qApp, &QGuiApplication::commitDataRequest, this, &Form1::onSessionEnding, Qt::DirectConnection);
}

void Form1::Form_Load()
{
    SkinH_AttachEx(App::Path() + QStringLiteral("/skinh.she"), QString());
    const qint32 style = GetWindowLongA(hWnd(), GWL_STYLE);
    SetWindowLongA(hWnd(), GWL_STYLE, style & qint32(0xFFFBFFFF));
    CommonDialog2.setFilter(PictureCommands::PictureFilter);
    Picture1.setScaleMode(PictureBox::vbPixels);
    Picture1.setAutoRedraw(true);
}

void Form1::Form_QueryUnload(qint16 &Cancel, qint16 /*UnloadMode: every close asks the same*/)
{
    if (MsgBox(QuitPrompt, MsgBoxStyle::vbYesNo + MsgBoxStyle::vbInformation, QuitTitle) == MsgBoxResult::vbYes)
        Unload();
    else
        Cancel = 1;
}

void Form1::Command4_Click()
{
    Unload();
}

void Form1::Command5_Click()
{
    Shell(WebLinks::Blog, AppWinStyle::vbMinimizedFocus);
}

void Form1::Command6_Click()
{
    Shell(WebLinks::Forum, AppWinStyle::vbMinimizedFocus);
}

void Form1::Command7_Click()
{
    Shell(WebLinks::Shop, AppWinStyle::vbMinimizedFocus);
}

void Form1::openPictureFile(const QByteArray &nativePath)
{
    runEventProcedure([&] { m_pictureCommands.openPictureFile(nativePath); });
}

void Form1::Unload()
{
    // Asked from inside the close question: the close already under way goes on, without a second question.
    if (m_queryingUnload) {
        m_unloadConfirmed = true;
        return;
    }
    m_closeCause = vbFormCode;
    close();
    m_closeCause = vbFormControlMenu;
}

bool Form1::askToUnload(qint16 unloadMode)
{
    qint16 cancel = 0;
    m_queryingUnload = true;
    const bool ran = runEventProcedure([&] { Form_QueryUnload(cancel, unloadMode); });
    m_queryingUnload = false;
    return ran && cancel == 0;
}

void Form1::closeEvent(QCloseEvent *event)
{
    // A second close request while the question is on screen waits for that question's answer.
    if (m_queryingUnload) {
        event->ignore();
        return;
    }
    if (m_unloadConfirmed || askToUnload(m_closeCause)) {
        m_unloadConfirmed = true;
        event->accept();
    } else {
        event->ignore();
    }
}

bool Form1::sessionMayEnd()
{
    if (m_unloadConfirmed)
        return true;
    if (m_queryingUnload || !askToUnload(vbAppWindows))
        return false;
    m_unloadConfirmed = true;
    // The session manager is still waiting for this answer; the window closes once it has it.
    QTimer::singleShot(0, this, &QWidget::close);
    return true;
}

void Form1::onSessionEnding(QSessionManager &manager)
{
    // Without leave to interact no question can be asked, and the session ends the program as it must.
    if (!manager.allowsInteraction())
        return;
    const bool mayEnd = sessionMayEnd();
    manager.release();
    if (!mayEnd)
        manager.cancel();
}

QByteArray Form1::droppedFile(const QMimeData *data)
{
    // A file URL that names a host names a file on another machine.
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.size() != 1 || !urls.constFirst().isLocalFile() || !urls.constFirst().host().isEmpty())
        return {};
    // The URL's own bytes: toLocalFile() decodes them as UTF-8, which loses a name in any other encoding.
    const QByteArray path = QByteArray::fromPercentEncoding(urls.constFirst().path(QUrl::FullyEncoded).toLatin1());
    struct stat status = {};
    return ::stat(path.constData(), &status) == 0 && S_ISREG(status.st_mode) ? path : QByteArray();
}

void Form1::dragEnterEvent(QDragEnterEvent *event)
{
    // Anything but one file is refused as it enters, so that the pointer tells beforehand that it would not be
    // taken.
    if (droppedFile(event->mimeData()).isEmpty())
        event->ignore();
    else
        dragMoveEvent(event);
}

void Form1::dragMoveEvent(QDragMoveEvent *event)
{
    // Only ever a copy: a move would let the source delete the user's file once it is dropped here.
    if (event->possibleActions() & Qt::CopyAction) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void Form1::dropEvent(QDropEvent *event)
{
    const QByteArray file = droppedFile(event->mimeData());
    if (file.isEmpty() || !(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The file opens once the drop is over, so that a long load does not hold the program the file came from.
    QTimer::singleShot(0, this, [this, file] { openPictureFile(file); });
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The status bar stays docked along the bottom edge, across the whole width.
    St1.setGeometry(0, height() - St1.height(), width(), St1.height());
}

void Form1::showEvent(QShowEvent *event)
{
    if (!m_placed) {
        m_placed = true;
        centreOnScreen();
    }
    QWidget::showEvent(event);
}

void Form1::centreOnScreen()
{
    if (const QScreen *screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        QRect frame = frameGeometry();
        frame.moveCenter(available.center());
        // On a screen smaller than the window the title bar stays within reach.
        frame.moveTopLeft(QPoint(qMax(frame.left(), available.left()), qMax(frame.top(), available.top())));
        move(frame.topLeft());
    }
}
