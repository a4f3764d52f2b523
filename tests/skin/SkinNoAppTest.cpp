#include "skin/SkinError.h"
#include "skin/SkinH.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

// Without a widget application there is nothing to skin; the call must say so rather than crash.
TEST(SkinWithoutApplication, RefusesPolitely)
{
    EXPECT_EQ(SkinH_AttachEx("skinh.she", ""), int(SkinError::NoApplication));
    int argc = 1;
    char name[] = "skin_noapp_tests";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    EXPECT_EQ(SkinH_AttachEx("skinh.she", ""), int(SkinError::NoApplication));
}
