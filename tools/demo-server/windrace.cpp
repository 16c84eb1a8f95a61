// Windward-leeward racing at 1 Hz: a boat model with a polar, tacks and
// gybes as real turns through the wind, and GPS noise on top.
#include "dice.h"
#include "fleet.h"
#include "map/geo.h"

#include <algorithm>
#include <cmath>

namespace DemoFleet
{
namespace
{

constexpr double pi = 3.14159265358979323846;
constexpr double degPerRad = 180.0 / pi;
constexpr double metresPerDegLat = 110574.0;
constexpr double metresPerDegLngAtEquator = 111320.0;
constexpr double mpsPerKnot = 1852.0 / 3600.0;

double normalized(double deg)
{
    return Geo::normalizedDegrees(deg);
}

double diff(double a, double b)
{
    return Geo::angleDiff(a, b);
}

double smoothstep(double x)
{
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

struct WindShape {
    double base, amplitude, period, phase;
    double firstAt, firstShift, secondAt, secondShift;
};

// The course tables lay the beats out along 315 degrees.
WindShape windShape(quint32 seed, int eventId)
{
    Dice dice(mix(mix(seed, 0x57494E44ull), quint64(eventId)));
    WindShape w;
    w.base = 315.0 + dice.range(-4.0, 4.0);
    w.amplitude = dice.range(5.0, 8.0);
    w.period = dice.range(600.0, 900.0);
    w.phase = dice.range(0.0, 2.0 * pi);
    const double sign = dice.uniform() < 0.5 ? -1.0 : 1.0;
    w.firstAt = dice.range(1500.0, 2100.0);
    w.firstShift = sign * dice.range(10.0, 16.0);
    w.secondAt = dice.range(3300.0, 3900.0);
    w.secondShift = -sign * dice.range(18.0, 26.0);
    return w;
}

// Shifts swing in over four minutes.
double windAt(const WindShape &w, double s)
{
    return normalized(w.base + w.amplitude * std::sin(2.0 * pi * s / w.period + w.phase) +
                      w.firstShift * smoothstep((s - w.firstAt) / 240.0) +
                      w.secondShift * smoothstep((s - w.secondAt) / 240.0));
}

struct ClassSpeed {
    const char *name;
    double minKnots; // close-hauled boat speed
    double maxKnots;
};
const ClassSpeed classSpeeds[] = {
    {"ORC I", 6.4, 7.2},     {"ORC II", 5.9, 6.7},    {"ORC III", 5.5, 6.3},
    {"Yardstick", 5.0, 6.4}, {"Mehrrumpf", 7.4, 8.8},
};

// Boat speed over close-hauled speed at a true wind angle (degrees 0..180).
double polar(double twa, double closeHauled, double running)
{
    if (twa < 20.0)
        return 0.25; // head to wind: the sails flog
    if (twa < closeHauled)
        return 0.25 + 0.75 * std::pow((twa - 20.0) / (closeHauled - 20.0), 1.5);
    if (twa < 90.0)
        return 1.0 + 0.25 * (twa - closeHauled) / (90.0 - closeHauled);
    if (twa < running)
        return 1.25 - 0.05 * (twa - 90.0) / (running - 90.0);
    return 1.2 - 0.3 * (twa - running) / (180.0 - running);
}

// About normal: the sum of three uniforms, scaled to a standard deviation of one.
double gauss(Dice &dice)
{
    return (dice.uniform() + dice.uniform() + dice.uniform() - 1.5) * 2.0;
}

} // namespace

double windFrom(quint32 seed, const DemoServer::Race &race, qint64 t)
{
    return windAt(windShape(seed, race.eventId), double(t - race.start));
}

QVector<DemoServer::Fix> makeWindwardTrack(quint32 seed, const DemoServer::Race &race,
                                           const DemoServer::Boat &boat,
                                           const QVector<Waypoint> &course)
{
    QVector<DemoServer::Fix> fixes;
    if (course.size() < 2 || race.end <= race.start)
        return fixes;
    const WindShape wind = windShape(seed, race.eventId);
    Dice dice(mix(mix(seed, quint64(race.eventId) ^ 0x1A5Dull), quint64(boat.id)));

    // Metres east and north of the first waypoint: flat over a few kilometres.
    const double lat0 = course[0].lat, lng0 = course[0].lng;
    const double kx = metresPerDegLngAtEquator * std::cos(lat0 / degPerRad);
    QVector<std::pair<double, double>> marks;
    for (const Waypoint &w : course)
        marks.append({(w.lng - lng0) * kx, (w.lat - lat0) * metresPerDegLat});

    double minKn = 5.5, maxKn = 6.5;
    for (const ClassSpeed &c : classSpeeds) {
        if (boat.klasse == QLatin1String(c.name)) {
            minKn = c.minKnots;
            maxKn = c.maxKnots;
        }
    }
    const double upwind = dice.range(minKn, maxKn) * mpsPerKnot;
    const double closeHauled = dice.range(40.0, 45.0);
    const double running = 180.0 - dice.range(26.0, 34.0);
    const double turnRate = dice.range(10.0, 13.0); // degrees a second: 6-9 s a tack
    const double cone = dice.range(12.0, 28.0);     // how far off the wind it lets the mark go
    const double headerLimit = dice.range(4.0, 8.0);
    const double formAmplitude = dice.range(0.02, 0.05);
    const double formPeriod = dice.range(900.0, 2400.0);
    const double formPhase = dice.range(0.0, 2.0 * pi);

    // On the start line, a few boat lengths behind it, on either tack.
    const double firstLeg =
        std::atan2(marks[1].first - marks[0].first, marks[1].second - marks[0].second);
    const double along = dice.range(-170.0, 170.0), behind = dice.range(5.0, 40.0);
    double x = along * std::cos(firstLeg) - behind * std::sin(firstLeg);
    double y = -along * std::sin(firstLeg) - behind * std::cos(firstLeg);
    // The side the wind comes over: the heading is wind + side * angle off it.
    int side = dice.uniform() < 0.5 ? -1 : 1;
    double windRef = windAt(wind, 0.0);
    double heading = normalized(windRef + side * closeHauled);
    double speed = 0.8 * upwind;
    double lastTurn = -100.0, holdUntil = 0.0;
    double noiseX = 0.0, noiseY = 0.0;
    int leg = 1;

    fixes.reserve(int(race.end - race.start));
    for (qint64 t = race.start; t < race.end; ++t) {
        const double s = double(t - race.start);
        const double w = windAt(wind, s);

        DemoServer::Fix fix;
        fix.tstamp = t;
        fix.lat = std::round((lat0 + (y + noiseY) / metresPerDegLat) * 1e6) / 1e6;
        fix.lng = std::round((lng0 + (x + noiseX) / kx) * 1e6) / 1e6;
        fix.heading = std::round(heading * 10.0) / 10.0;
        if (fix.heading >= 360.0)
            fix.heading -= 360.0;
        fix.speed = std::round(speed / mpsPerKnot * 100.0) / 100.0;
        fixes.append(fix);

        // A mark is rounded close by once the boat is level with it along the
        // leg: over the line through the mark across the leg, which is where
        // the viewer sees it rounded.
        double dx = 0, dy = 0, d = 0, bearing = 0;
        bool rounded = false;
        while (leg < marks.size()) {
            dx = marks[leg].first - x;
            dy = marks[leg].second - y;
            d = std::hypot(dx, dy);
            bearing = normalized(std::atan2(dx, dy) * degPerRad);
            const double lx = marks[leg].first - marks[leg - 1].first;
            const double ly = marks[leg].second - marks[leg - 1].second;
            const bool level = dx * lx + dy * ly <= 0.0;
            if (d > 60.0 || !level)
                break;
            ++leg;
            rounded = true;
        }

        double desired = heading;
        double target = 0.0; // after the finish the boat drifts to a halt
        // Straight on after a rounding until the last tack lies 25 s back, so
        // a tack and a rounding never run into one turn; no tack right after.
        if (rounded)
            holdUntil = std::max(s, lastTurn + 25.0), lastTurn = holdUntil;
        const bool canTurn = s - lastTurn >= 40.0 && d > 250.0;
        if (leg < marks.size()) {
            const double a = diff(bearing, w); // the mark, seen from the wind
            const double off = std::abs(a);
            if (s < holdUntil) {
                desired = heading;
            } else if (off > running) {
                // Running: gybe at the edge of the cone.
                const double u = diff(bearing, w + 180.0);
                if (canTurn && side * u >= 0.8 * cone &&
                    d * std::abs(std::sin(u / degPerRad)) > 100)
                    side = -side, lastTurn = s;
                desired = w + side * running;
            } else if (side * a >= closeHauled - (d < 100.0 ? 12.0 : 0.0) ||
                       (off >= closeHauled + 1.0 && s - lastTurn >= 20)) {
                // Fetching (pinching close to the mark): straight for it; a new
                // side is the tack or gybe onto the layline.
                const int wanted = a < 0 ? -1 : 1;
                if (wanted != side)
                    side = wanted, lastTurn = s, windRef = w;
                desired = bearing;
            } else {
                // Beating: tack at the edge of the cone or on a header.
                const double header = side * diff(w, windRef);
                if (canTurn &&
                    ((side * a <= -cone && d * std::abs(std::sin(a / degPerRad)) > 100) ||
                     header > headerLimit))
                    side = -side, lastTurn = s, windRef = w;
                else if (header < 0.0)
                    windRef = w; // a lift: later headers count from here
                desired = w + side * closeHauled;
            }
            const double form =
                1.0 + formAmplitude * std::sin(2.0 * pi * s / formPeriod + formPhase);
            target = upwind * form * polar(std::abs(diff(heading, w)), closeHauled, running);
        }

        // Turn the short way at the boat's rate; speed follows the polar,
        // losing faster than it gains.
        const double turn = diff(desired, heading);
        heading = normalized(heading + std::clamp(turn, -turnRate, turnRate));
        speed += (target - speed) * (target < speed ? 0.2 : 0.12);
        x += speed * std::sin(heading / degPerRad);
        y += speed * std::cos(heading / degPerRad);
        // GPS noise of 1-2 m that wanders rather than jumps.
        noiseX = 0.7 * noiseX + 0.714 * 1.4 * gauss(dice);
        noiseY = 0.7 * noiseY + 0.714 * 1.4 * gauss(dice);
    }
    return fixes;
}

} // namespace DemoFleet
