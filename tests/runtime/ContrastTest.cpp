// The caption colour of a coloured button, the same on every system.
#include "Contrast.h"

#include <gtest/gtest.h>

using runtime::detail::ReadableOn;

TEST(ReadableOn, KeepsTheTextColourUnlessTooCloseToTheBackground) {
    struct Case {
        std::uint32_t back, text, drawn;
    } cases[] = {
        {0x000000, 0x000000, 0xFFFFFF}, // black title-bar text and button text: white
        {0x000000, 0x303030, 0xFFFFFF},
        {0xFFFFFF, 0xF0F0F0, 0x000000}, // a light text on white: black
        {0x00FFFF, 0xFFFFFF, 0x000000}, // white on yellow: black
        {0xC0C0C0, 0x000000, 0x000000}, // readable: kept
        {0x000000, 0x00FFFF, 0x00FFFF},
        {0x800000, 0xFFFFFF, 0xFFFFFF},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadableOn(c.back, c.text), c.drawn) << std::hex << c.back << " " << c.text;
}
