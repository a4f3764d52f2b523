#pragma once

#include "controls/CommandButton.h"
#include "controls/CommonDialog.h"
#include "controls/ImageControl.h"
#include "controls/PictureBox.h"
#include "controls/StatusBar.h"
#include "controls/WindowStyle.h"
#include "picture/PictureCommands.h"

#include <QGroupBox>
#include <QWidget>

class QMimeData;
class QSessionManager;

// The program's one window. Its controls are built from the window description; each user action
// reaches one event procedure below.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    // Causes of a close, as Form_QueryUnload receives them.
    enum UnloadMode : qint16 { vbFormControlMenu = 0, vbFormCode = 1, vbAppWindows = 2 };

    static inline const QString Caption = QStringLiteral("Kelvo.图片去色黑白工具");

    explicit Form1(QWidget *parent = nullptr);

    HWND hWnd() { return this; }

    void Form_Load();
    void Form_QueryUnload(qint16 &Cancel, qint16 UnloadMode);
    void Command4_Click(); // "退出"
    void Command5_Click(); // the blog
    void Command6_Click(); // the forum
    void Command7_Click(); // the shop

    // Opens the file by the bytes the system spells its name with, as the open command opens the file chosen in
    // its dialog, with the same checks and reports: a picture named at start or dropped on the window.
    void openPictureFile(const QByteArray &nativePath);

    // The toolkit's unloading of this window: a close that asks Form_QueryUnload first.
    void Unload();

    // The window's part in ending the desktop session: asks the close question; true lets the session end,
    // and the window then closes without asking again.
    bool sessionMayEnd();

    // The controls, named as the window description names them.
    QGroupBox Frame2;
    ImageControl Image2;
    CommandButton Command2;
    CommandButton Command1;
    CommandButton Command3;
    CommandButton Command4;
    QGroupBox Frame1;
    ImageControl Image1;
    CommandButton Command5;
    CommandButton Command6;
    CommandButton Command7;
    StatusBar St1;
    PictureBox Picture1;
    CommonDialog CommonDialog1;
    CommonDialog CommonDialog2;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildFromDescription();
    void buildStatusBar();
    void setTabOrderFromDescription();
    void connectEventProcedures();
    void onSessionEnding(QSessionManager &manager);
    void centreOnScreen();
    bool askToUnload(qint16 unloadMode);
    // The file a drag carries, by the bytes of its name, when it carries exactly one existing local file; empty
    // otherwise.
    static QByteArray droppedFile(const QMimeData *data);

    PictureCommands m_pictureCommands;
    bool m_queryingUnload = false;
    bool m_unloadConfirmed = false;
    qint16 m_closeCause = vbFormControlMenu;
    bool m_placed = false;
};
