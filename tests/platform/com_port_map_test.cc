// The COM port map's text and bitmap rules, the same on every system.
#include "platform/com_port_map.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ComPortMapTest, NumberedNamesNeedThePrefixAndDigitsOnly) {
    const struct {
        const char* szName;
        const char* szPrefix;
        bool bIgnoreCase;
        int nExpected;  // -1: not a numbered name
    } cases[] = {
        {"COM3", "COM", true, 3},         {"com12", "COM", true, 12},
        {"Com7", "com", true, 7},         {"COM", "COM", true, -1},
        {"COMX1", "COM", true, -1},       {"COM1x", "COM", true, -1},
        {"COM 1", "COM", true, -1},       {"com2", "COM", false, -1},
        {"ttyS0", "ttyS", false, 0},      {"ttys0", "ttyS", false, -1},
        {"COM2147483647", "COM", false, 2147483647},
        {"COM2147483648", "COM", false, -1},
    };
    for (const auto& c : cases) {
        int nNumber = -1;
        const bool bParsed = platform::ParseNumberedName(c.szName, c.szPrefix, c.bIgnoreCase,
                                                          &nNumber);
        EXPECT_EQ(bParsed ? nNumber : -1, c.nExpected) << c.szName << " " << c.szPrefix;
    }
}

TEST(ComPortMapTest, DatabaseBitsNamePortsFromOne) {
    std::vector<unsigned char> full(520, 0);
    full[259] = 0x80;  // the last port the database covers
    full[260] = 0xFF;  // beyond it
    const struct {
        std::vector<unsigned char> bitmap;
        std::vector<int> expected;
    } cases[] = {
        {{0x05}, {1, 3}},
        {{0x00, 0x81}, {9, 16}},
        {{}, {}},
        {full, {2080}},
    };
    for (const auto& c : cases) {
        std::vector<int> numbers = {42};
        platform::AppendReservedComPorts(c.bitmap, &numbers);
        std::vector<int> expected = {42};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(numbers, expected) << c.bitmap.size();
    }
}

}  // namespace
