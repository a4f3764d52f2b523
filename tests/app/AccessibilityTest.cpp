#include "FormFixture.h"

#include <QAccessible>
#include <QAccessibleInterface>

namespace {

// Searches the window's accessible tree as a screen reader walks it.
QAccessibleInterface *findByName(QAccessibleInterface *node, QAccessible::Role role, const QString &name)
{
    if (node->role() == role && node->text(QAccessible::Name) == name)
        return node;
    for (int i = 0; i < node->childCount(); ++i)
        if (QAccessibleInterface *found = findByName(node->child(i), role, name))
            return found;
    return nullptr;
}

} // namespace

TEST_F(FormTest, AssistiveTechnologyFindsEachButtonAndReadsEachStatusPanel)
{
    form->show();
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(form.get());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->text(QAccessible::Name), Form1::Caption);
    // A top-level frame, and a status bar whose labels are the panels in their order.
    EXPECT_EQ(window->role(), QAccessible::Window);
    QAccessibleInterface *statusBar = QAccessible::queryAccessibleInterface(&form->St1);
    ASSERT_NE(statusBar, nullptr);
    EXPECT_EQ(statusBar->role(), QAccessible::StatusBar);
    ASSERT_EQ(statusBar->childCount(), 3);
    for (qint16 i = 1; i <= 3; ++i)
        EXPECT_EQ(statusBar->child(i - 1)->object(), &form->St1.Panels(i)) << i;

    for (CommandButton *button : {&form->Command1, &form->Command2, &form->Command3, &form->Command4, &form->Command5,
                                  &form->Command6, &form->Command7}) {
        QAccessibleInterface *found = findByName(window, QAccessible::Button, button->text());
        ASSERT_NE(found, nullptr) << button->text().toStdString();
        EXPECT_EQ(found->object(), button);
        EXPECT_EQ(found->state().disabled, !button->isEnabled());
    }
    for (qint16 i = 1; i <= 3; ++i)
        EXPECT_NE(findByName(window, QAccessible::StaticText, form->St1.Panels(i).Text()), nullptr) << i;

    // A new status text is what is read from then on.
    form->Command1.click();
    QAccessibleInterface *panel = findByName(window, QAccessible::StaticText, status());
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->object(), &form->St1.Panels(2));
    EXPECT_EQ(status(), QStringLiteral("保存错误!请先选择您要去色变为黑白颜色的图片!"));
}
