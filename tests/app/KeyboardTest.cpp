#include "FormFixture.h"

#include "controls/CommonDialog.h"

#include <QApplication>
#include <QTest>

namespace {

QWidget *tabFrom(QWidget *widget)
{
    widget->setFocus(Qt::TabFocusReason);
    QTest::keyClick(widget, Qt::Key_Tab);
    return QApplication::focusWidget();
}

} // namespace

TEST_F(FormTest, TabKeyFollowsTheTabIndexSkippingTheDisabledSaveButton)
{
    showActive();
    // "去色" comes first, as its TabIndex has it, though "浏览" stands left of it.
    EXPECT_EQ(QApplication::focusWidget(), &form->Command1);

    const QWidget *expected[] = {&form->Command2, &form->Command4, &form->Command5,
                                 &form->Command6, &form->Command7, &form->Command1};
    for (const QWidget *next : expected)
        EXPECT_EQ(tabFrom(QApplication::focusWidget()), next);

    form->Command3.setEnabled(true);
    EXPECT_EQ(tabFrom(&form->Command2), &form->Command3);
    EXPECT_EQ(tabFrom(&form->Command3), &form->Command4);
}

TEST_F(FormTest, CtrlOOpensAndCtrlSSavesOnlyWhileSaveIsEnabled)
{
    QList<CommonDialog::Kind> shown;
    CommonDialog::setScript([&](const CommonDialog::Request &request) {
        shown.append(request.kind);
        return CommonDialog::Answer::cancel();
    });
    showActive();

    QTest::keyClick(form.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 1; }));
    EXPECT_EQ(shown[0], CommonDialog::Kind::Open);

    QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
    QTest::qWait(300);
    EXPECT_EQ(shown.size(), 1) << "the disabled save button was pressed";

    form->Command3.setEnabled(true);
    QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 2; }));
    EXPECT_EQ(shown[1], CommonDialog::Kind::Save);

    EXPECT_EQ(form->Command2.text(), QStringLiteral("浏览"));
    EXPECT_EQ(form->Command3.text(), QStringLiteral("保存"));
}
