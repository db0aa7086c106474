// The shared drawers composed as the other families compose them, against the
// function patterns the standards draw: '#' dark, '.' light function module,
// ' ' free.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "FunctionPatterns.h"

namespace {

std::vector<std::string> Picture(const FunctionMap& map)
{
    std::vector<std::string> rows;
    for (int y = 0; y < map.height; ++y) {
        std::string row;
        for (int x = 0; x < map.width; ++x)
            row += !map.used[static_cast<size_t>(y)].Get(x) ? ' ' : map.dark[static_cast<size_t>(y)].Get(x) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

struct Case {
    const char* what;
    int width, height;
    std::function<void(FunctionMap&)> draw;
    std::vector<std::string> expected;
};

TEST(FunctionPatterns, DrawersComposeEveryFamilysPatterns)
{
    const Case cases[] = {
        {"Micro QR M1: one finder, separator clipped at the edges, timing along the top and left",
         11,
         11,
         [](FunctionMap& m) {
             DrawFinder(m, 0, 0);
             DrawTimingRow(m, 0, 8, 11);
             DrawTimingColumn(m, 0, 8, 11);
         },
         {"#######.#.#", "#.....#.   ", "#.###.#.   ", "#.###.#.   ", "#.###.#.   ", "#.....#.   ", "#######.   ",
          "........   ", "#          ", ".          ", "#          "}},
        {"rMQR R7: a finder as tall as the symbol, its separator only on the right, a sub-finder in the far corner",
         16,
         7,
         [](FunctionMap& m) {
             DrawFinder(m, 0, 0);
             DrawAlignment(m, 13, 4); // rMQR's sub-finder is this 5 x 5 pattern
             DrawTimingRow(m, 0, 8, 11);
         },
         {"#######.#.#     ", "#.....#.        ", "#.###.#.   #####", "#.###.#.   #...#", "#.###.#.   #.#.#",
          "#.....#.   #...#", "#######.   #####"}},
        {"later marks win, reserving keeps a mark light, the picture clips at the right edge",
         6,
         2,
         [](FunctionMap& m) {
             m.Mark(0, 0, 0x3F, 6);
             m.Reserve(2, 0, 2, 1);
             m.SetDark(5, 1);
             const uint64_t rows[] = {0x1, 0x3};
             DrawPattern(m, 4, 0, rows, 3);
         },
         {"##..#.", "    ##"}},
    };
    for (const Case& c : cases) {
        FunctionMap map(c.width, c.height);
        c.draw(map);
        EXPECT_EQ(Picture(map), c.expected) << c.what;
        // Nothing dark or taken beyond the symbol's width.
        for (int y = 0; y < c.height; ++y)
            for (int x = c.width; x < 192; ++x)
                ASSERT_FALSE(map.used[static_cast<size_t>(y)].Get(x) || map.dark[static_cast<size_t>(y)].Get(x));
    }
}

} // namespace
