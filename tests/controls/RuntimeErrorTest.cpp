#include "errors/RuntimeError.h"
#include "controls/EventProcedure.h"
#include "controls/MessageBox.h"
#include "controls/ResumeNext.h"

#include <QList>

#include <gtest/gtest.h>

#include <algorithm>
#include <new>

namespace {

TEST(ResumeNext, ErrorEndsOnlyItsStepAndIsKept)
{
    ResumeNext steps;
    QList<int> ran;
    steps.step([&] {
        ran << 1;
        throw RuntimeError(ErrorNumber::FileNotFound);
        ran << 99; // never reached
    });
    steps.step([&] { ran << 2; });
    EXPECT_EQ(ran, QList<int>({1, 2}));
    // A later step that succeeds leaves the last error number as it was.
    EXPECT_EQ(steps.Err(), ErrorNumber::FileNotFound);

    steps.step([] { throw RuntimeError(ErrorNumber::InvalidPicture); });
    EXPECT_EQ(steps.Err(), ErrorNumber::InvalidPicture);
    steps.step([] { throw std::bad_alloc(); });
    EXPECT_EQ(steps.Err(), ErrorNumber::OutOfMemory);

    EXPECT_EQ(ResumeNext().Err(), 0);
}

TEST(ResumeNext, ErrorInATestTakesItsTrueBranch)
{
    ResumeNext steps;
    EXPECT_TRUE(steps.test([]() -> bool { throw RuntimeError(ErrorNumber::DialogCancelled); }));
    EXPECT_EQ(steps.Err(), ErrorNumber::DialogCancelled);
    EXPECT_FALSE(steps.test([] { return false; }));
    EXPECT_TRUE(steps.test([] { return true; }));
    EXPECT_EQ(steps.Err(), ErrorNumber::DialogCancelled);
}

class EventProcedureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setMessageBoxScript([this](const MessageBoxRequest &box) {
            boxes << box;
            return MsgBoxResult::vbOK;
        });
    }
    void TearDown() override { setMessageBoxScript({}); }

    QList<MessageBoxRequest> boxes;
};

TEST_F(EventProcedureTest, UntrappedErrorIsReportedAndEndsTheProcedure)
{
    bool after = false;
    EXPECT_FALSE(runEventProcedure([&] {
        throw RuntimeError(ErrorNumber::FileNotFound, QStringLiteral("/图片/a.jpg"));
        after = true;
    }));
    EXPECT_FALSE(after);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0].prompt, QStringLiteral("实时错误 '53':\n\n文件未找到: /图片/a.jpg"));
    EXPECT_EQ(boxes[0].buttons & MsgBoxStyle::vbCritical, MsgBoxStyle::vbCritical);

    EXPECT_FALSE(runEventProcedure([] { throw std::bad_alloc(); }));
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_TRUE(boxes[1].prompt.startsWith(QStringLiteral("实时错误 '7':"))) << qPrintable(boxes[1].prompt);

    EXPECT_TRUE(runEventProcedure([] {}));
    EXPECT_EQ(boxes.size(), 2);
}

// The numbers and words a user sees in the window's error box and in kelvo-gray's reasons, and may have looked
// up: each as it has always been.
TEST(RuntimeError, EveryCustomaryNumberHasItsOwnChineseDescription)
{
    const std::pair<int, QString> customary[] = {{6, QStringLiteral("溢出")},
                                                 {7, QStringLiteral("内存溢出")},
                                                 {48, QStringLiteral("加载 DLL 错误")},
                                                 {53, QStringLiteral("文件未找到")},
                                                 {61, QStringLiteral("磁盘已满")},
                                                 {70, QStringLiteral("没有权限")},
                                                 {75, QStringLiteral("路径/文件访问错误")},
                                                 {453, QStringLiteral("找不到 DLL 入口点")},
                                                 {481, QStringLiteral("无效图片")},
                                                 {32755, QStringLiteral("已选择“取消”。")}};
    for (const auto &[number, words] : customary) {
        const RuntimeError error(number);
        EXPECT_EQ(error.description(), words) << number;
        EXPECT_EQ(QString::fromUtf8(error.what()), words);
    }
    EXPECT_EQ(ErrorNumber::InvalidPicture, 481);
    EXPECT_EQ(ErrorNumber::FileNotFound, 53);
    EXPECT_EQ(ErrorNumber::DiskFull, 61);
}

} // namespace
