#include "PairedSamples.h"

#include <algorithm>

void PairedSamples::add(double figureSeconds, double floorSeconds)
{
    m_figure.push_back(figureSeconds);
    m_floor.push_back(floorSeconds);
}

double PairedSamples::ratio() const
{
    const double floor = floorMedian();
    return floor > 0 ? figureMedian() / floor : 0;
}

double PairedSamples::median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double PairedSamples::spread(const std::vector<double> &values)
{
    if (values.size() < 2)
        return 0;
    const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
    const double middle = median(values);
    return middle > 0 ? (*highest - *lowest) / middle : 0;
}
