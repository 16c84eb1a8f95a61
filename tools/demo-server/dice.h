#ifndef VELMARO_TOOLS_DEMOSERVER_DICE_H
#define VELMARO_TOOLS_DEMOSERVER_DICE_H

#include <QtGlobal>

#include <cstddef>
#include <random>

namespace DemoFleet
{

// A small wrapper so that the numbers do not depend on the standard
// library's distribution implementations.
class Dice
{
public:
    explicit Dice(quint64 seed) : m_gen(static_cast<std::mt19937::result_type>(seed ^ (seed >> 32)))
    {
    }
    double uniform() { return m_gen() / 4294967296.0; } // [0, 1)
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    int below(int n) { return n <= 0 ? 0 : static_cast<int>(m_gen() % static_cast<quint32>(n)); }
    template <typename T, size_t N> const T &pick(const T (&items)[N])
    {
        return items[below(int(N))];
    }

private:
    std::mt19937 m_gen;
};

inline quint64 mix(quint64 a, quint64 b)
{
    quint64 x = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull + (a << 6) + (a >> 2));
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    return x;
}

} // namespace DemoFleet

#endif
