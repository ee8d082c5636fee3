// Test main on Windows: GoogleTest alone; windows get their messages from the
// thread's own message loop (TestSupport.cpp).
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
