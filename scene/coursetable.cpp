#include "scene/coursetable.h"

namespace CourseTable
{

const QList<CourseRow> &allRows()
{
    static const QList<CourseRow> rows = {
        {"Biograd Start", 43.98, 15.366, 0, 0, 240, 0.6, true},
        {"Dugi Otok North", 44.188733, 14.845183, 0, 0, 0, 5, false},
        {"Mulo (1)", 43.51445, 15.918583, 0, 0, 225, 60, true},
        {"Bisevo-Vis", 42.986766, 16.0203, 43.00675, 16.066916, 0, 0, true},
        {"Palagruza", 42.391933, 16.255316, 0, 0, 180, 10, false},
        {"Mljet", 42.686183, 17.74815, 0, 0, 90, 17, false},
        {"Korcula", 42.98345, 16.6069, 0, 0, 225, 25, true},
        {"Hvar", 43.072933, 16.254966, 43.1651, 16.4369, 0, 0, true},
        {"Mulo (2)", 43.51445, 15.918583, 0, 0, 45, 4, true},
        {"Prisnjak", 43.825583, 15.558533, 0, 0, 240, 14, true},
        {"Biograd Ziel", 43.9375, 15.439133, 0, 0, 240, 0.7, true},
    };
    return rows;
}

const QList<CourseRow> &windwardLeewardRows()
{
    // The beats run along 315 degrees; lines and the gate lie across them.
    // The windward mark's line runs 100 m either side of it, so that a boat
    // rounding it on either hand crosses the line.
    static const QList<CourseRow> rows = {
        {"Großfeld Start", 43.881279, 15.401763, 0, 0, 225, 0.4, true},
        {"Luvtonne (1)", 43.891207, 15.382797, 43.892479, 15.384561, 0, 0, true},
        {"Leetor (1)", 43.881247, 15.399603, 0, 0, 225, 0.15, true},
        {"Luvtonne (2)", 43.891207, 15.382797, 43.892479, 15.384561, 0, 0, true},
        {"Leetor (2)", 43.881247, 15.399603, 0, 0, 225, 0.15, true},
        {"Luvtonne (3)", 43.891207, 15.382797, 43.892479, 15.384561, 0, 0, true},
        {"Großfeld Ziel", 43.879680, 15.402203, 0, 0, 225, 0.2, true},
    };
    return rows;
}

QList<CourseRow> rowsFor(int eventId, int taskId)
{
    // 40/400 and its live twin 41/410 are the big races of the demo service.
    if ((eventId == 40 && taskId == 400) || (eventId == 41 && taskId == 410))
        return windwardLeewardRows();
    const QList<CourseRow> &rows = allRows();
    // 30/300 is the live race of the bundled demo service.
    if ((eventId == 21 && taskId == 120) || (eventId == 10 && taskId == 88) ||
        (eventId == 30 && taskId == 300))
        return rows;
    if ((eventId == 100 && taskId == 200) || (eventId == 104 && taskId >= 218 && taskId <= 220))
        return rows.mid(1);
    return {};
}

} // namespace CourseTable
