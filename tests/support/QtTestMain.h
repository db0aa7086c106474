#pragma once
// main() for GoogleTest suites that need a Qt application object.
#include <gtest/gtest.h>

#define VORLANE_QT_TEST_MAIN(AppClass)                 \
    int main(int argc, char** argv)                    \
    {                                                  \
        AppClass app(argc, argv);                      \
        ::testing::InitGoogleTest(&argc, argv);        \
        return RUN_ALL_TESTS();                        \
    }
