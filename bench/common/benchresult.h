#ifndef VELMARO_BENCH_COMMON_BENCHRESULT_H
#define VELMARO_BENCH_COMMON_BENCHRESULT_H

// One machine-readable line per figure, next to each program's own output, so
// that bench/report can gather every benchmark into one table:
//   RESULT <TAB> figure <TAB> value <TAB> unit <TAB> compared-with <TAB>
//   compared-value <TAB> ratio
// The ratio is value / compared-value; fields without a peer stay empty.
// A peer measured in the same run is named plainly; a fixed target is named
// "target: ...".

#include <cmath>
#include <cstdio>
#include <string>

namespace BenchResult
{

inline std::string cleanField(const char *text)
{
    std::string field(text ? text : "");
    for (char &c : field) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return field;
}

inline void print(const char *figure, double value, const char *unit,
                  const char *comparedWith = nullptr, double comparedValue = std::nan(""))
{
    const std::string name = cleanField(figure);
    const std::string u = cleanField(unit);
    const std::string peer = cleanField(comparedWith);
    if (peer.empty() || std::isnan(comparedValue)) {
        std::printf("RESULT\t%s\t%.6g\t%s\t\t\t\n", name.c_str(), value, u.c_str());
    } else {
        const double ratio = comparedValue != 0.0 ? value / comparedValue : std::nan("");
        std::printf("RESULT\t%s\t%.6g\t%s\t%s\t%.6g\t%.4g\n", name.c_str(), value, u.c_str(),
                    peer.c_str(), comparedValue, ratio);
    }
    std::fflush(stdout);
}

// The frame budget of a 60 Hz screen; figures of one refresh or one frame
// that have no peer are held against it.
inline constexpr double frameBudgetMs = 16.0;

} // namespace BenchResult

#endif
