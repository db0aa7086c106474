#pragma once
// main() for GoogleTest suites that need a Qt application object.
#include <gtest/gtest.h>

namespace testsupport {

// Runs every test inside an application of the given class, after an optional set-up step (its result unused).
template <class App>
int RunQtTests(int argc, char** argv, bool (*setUp)() = nullptr)
{
    App app(argc, argv);
    if (setUp) setUp();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace testsupport
