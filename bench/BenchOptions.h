#pragma once

#include <QList>
#include <QSize>
#include <QString>

// What one run of the bench measures.
struct BenchOptions
{
    struct Size
    {
        QSize pixels;
        int rounds; // pairs of figure and floor; the medians are taken over them
    };

    QList<Size> sizes{
        {{2048, 1536}, 9},  // 3 MP
        {{6000, 4000}, 7},  // 24 MP
        {{12240, 8160}, 5}, // 100 MP
    };
    QString folder;    // where the test pictures go; a fresh temporary folder when empty
    bool warm = false; // leave the caches as the run before left them

    void addLarge() { sizes.append({{20000, 20000}, 3}); } // 400 MP
    void setRounds(int rounds)
    {
        for (Size &size : sizes)
            size.rounds = rounds;
    }
};
