#include "FormFixture.h"

#include "app/ToolkitTranslations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

namespace {

const QString QuitPrompt = QStringLiteral("您确定退出本程序吗?");
const QString QuitTitle = QStringLiteral("QuenOvrel提示");

// Every way a close request reaches the window; each returns once the request has been handled, telling
// whether the close went on.
const std::pair<const char *, std::function<bool(Form1 &)>> CloseRequests[] = {
    {"exit button",
     [](Form1 &form) {
         form.Command4.click();
         return !form.isVisible();
     }},
    {"close()", [](Form1 &form) { return form.close(); }},
    {"close event",
     [](Form1 &form) {
         QCloseEvent event;
         QApplication::sendEvent(&form, &event);
         return event.isAccepted();
     }},
    // The path of the window manager's close (the close box, Alt+F4): a close event from the platform.
    {"window manager", [](Form1 &form) { return form.windowHandle()->close(); }},
    {"logout",
     [](Form1 &form) {
         const bool mayEnd = form.sessionMayEnd();
         QApplication::processEvents();
         return mayEnd && !form.isVisible();
     }},
};

} // namespace

TEST_F(FormTest, EveryCloseAsksOnceAndNoLeavesTheWindowAsItWas)
{
    form->show();
    // A picture opened and turned grey, so that there is something to lose.
    CommonDialog::setScript([file = writePicture(QStringLiteral("a.bmp"), {40, 30})](const CommonDialog::Request &) {
        return CommonDialog::Answer::choose(file);
    });
    form->Command2.click();
    form->Command1.click();
    ASSERT_TRUE(form->Command3.isEnabled());
    const WindowState before(*form);

    answer = MsgBoxResult::vbNo;
    for (const auto &[name, request] : CloseRequests) {
        boxes.clear();
        EXPECT_FALSE(request(*form)) << name;
        QApplication::processEvents();
        ASSERT_EQ(boxes.size(), 1) << name;
        EXPECT_EQ(boxes[0].prompt, QuitPrompt);
        EXPECT_EQ(boxes[0].title, QuitTitle);
        EXPECT_EQ(boxes[0].buttons, MsgBoxStyle::vbYesNo + MsgBoxStyle::vbInformation);
        EXPECT_TRUE(WindowState(*form) == before) << name;
    }
}

TEST_F(FormTest, YesClosesTheWindowAfterOneQuestionWhateverTheRequest)
{
    answer = MsgBoxResult::vbYes;
    for (const auto &[name, request] : CloseRequests) {
        // No picture was ever opened: the question comes all the same.
        form = std::make_unique<Form1>();
        form->Form_Load();
        form->show();
        boxes.clear();
        EXPECT_TRUE(request(*form)) << name;
        EXPECT_EQ(boxes.size(), 1) << name;
    }
}

TEST_F(FormTest, LogoutAnsweredNoKeepsTheSessionAndTheWindow)
{
    form->show();
    answer = MsgBoxResult::vbNo;
    EXPECT_FALSE(form->sessionMayEnd());
    answer = MsgBoxResult::vbYes;
    EXPECT_TRUE(form->sessionMayEnd());
    // Once the answer is given the window goes without asking again.
    EXPECT_TRUE(form->sessionMayEnd());
    QApplication::processEvents();
    EXPECT_EQ(boxes.size(), 2);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(FormTest, YesOnTheExitButtonEndsTheProgram)
{
    answer = MsgBoxResult::vbYes;
    form->show();
    QTimer::singleShot(0, &form->Command4, &QAbstractButton::click);
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); }); // a program that does not end
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(boxes.size(), 1);
}

// The real message box, in the toolkit's Chinese, answered with the Enter key.
TEST_F(FormTest, EnterInTheRealQuestionAnswersYesAndEndsTheProgram)
{
    static const bool translated = installToolkitTranslations();
    ASSERT_TRUE(translated) << "Qt's zh_CN translations are not installed";
    setMessageBoxScript({});
    form->show();

    QString text, title, yes, no;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool yesIsDefault = false;
    int width = 0, titleWidth = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        yes = box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)->text() : QString();
        no = box->button(QMessageBox::No) ? box->button(QMessageBox::No)->text() : QString();
        yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes);
        width = box->width();
        titleWidth = box->fontMetrics().horizontalAdvance(box->windowTitle());
        QTest::keyClick(box, Qt::Key_Enter);
    });
    poll.start(20);
    QTimer::singleShot(0, &form->Command4, &QAbstractButton::click);
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);

    EXPECT_EQ(text, QuitPrompt);
    EXPECT_EQ(title, QuitTitle);
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_TRUE(yesIsDefault);
    EXPECT_GE(width, titleWidth + 120) << "no room for the whole title beside the title bar's buttons";
    // Qt's zh_CN file gives "是(&Y)" and "否(&N)"; the mnemonic is Qt's own.
    EXPECT_TRUE(yes.startsWith(QStringLiteral("是"))) << yes.toStdString();
    EXPECT_TRUE(no.startsWith(QStringLiteral("否"))) << no.toStdString();
    EXPECT_FALSE(form->isVisible());
}
