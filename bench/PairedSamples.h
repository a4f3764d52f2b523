#pragma once

#include <chrono>
#include <utility>
#include <vector>

// Timings of one figure and of the floor it is held to, taken in pairs, back to back, so that both see the
// same machine: on a shared machine the load drifts between seconds, rarely within one pair.
class PairedSamples
{
public:
    // Runs one pair; the order alternates from pair to pair so that neither side always runs first.
    // `prepare` runs, untimed, before each of the two.
    template<class Figure, class Floor, class Prepare>
    void measure(Figure &&figure, Floor &&floor, Prepare &&prepare);

    void add(double figureSeconds, double floorSeconds);

    bool isEmpty() const { return m_figure.empty(); }
    double figureMedian() const { return median(m_figure); }
    double floorMedian() const { return median(m_floor); }
    // Median figure over median floor.
    double ratio() const;
    // (slowest − fastest) / median of the figure: how noisy the machine was while it ran.
    double figureSpread() const { return spread(m_figure); }
    double floorSpread() const { return spread(m_floor); }

    template<class Work>
    static double secondsOf(Work &&work);

private:
    static double median(std::vector<double> values);
    static double spread(const std::vector<double> &values);

    std::vector<double> m_figure;
    std::vector<double> m_floor;
};

template<class Work>
double PairedSamples::secondsOf(Work &&work)
{
    const auto start = std::chrono::steady_clock::now();
    std::forward<Work>(work)();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template<class Figure, class Floor, class Prepare>
void PairedSamples::measure(Figure &&figure, Floor &&floor, Prepare &&prepare)
{
    double figureSeconds, floorSeconds;
    if (m_figure.size() % 2 == 0) {
        prepare();
        figureSeconds = secondsOf(figure);
        prepare();
        floorSeconds = secondsOf(floor);
    } else {
        prepare();
        floorSeconds = secondsOf(floor);
        prepare();
        figureSeconds = secondsOf(figure);
    }
    add(figureSeconds, floorSeconds);
}
