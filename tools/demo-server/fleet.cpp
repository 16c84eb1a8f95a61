#include "fleet.h"

#include "dice.h"

#include "map/geo.h"
#include "scene/coursetable.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace DemoFleet
{
namespace
{

const char *const firstNames[] = {
    "Jürgen",     "Sören",      "Björn", "Günther", "Käthe", "Jörg",   "Lukas",  "Ulrike",
    "Mathilde",   "Hans-Peter", "Grete", "Jörn",    "Ole",   "Frauke", "Andrä",  "Thorsten",
    "Maximilian", "Lena",       "Jonas", "Hanne",   "Malte", "Sönke",  "Wiebke",
};
const char *const lastNames[] = {
    "Müller",   "Köhler",   "Weiß",      "Schäfer", "Bäumer",   "Krüger",     "Hößl",    "Größer",
    "Jäger",    "Schröder", "Lühr",      "Stöver",  "Brückner", "Hünemörder", "Dörfler", "Kühn",
    "Fröhlich", "Böttcher", "Grünewald", "Nöthen",  "Mählmann", "Schürmann",
};
const char *const boatNames[] = {
    "Möwe",
    "Sturmvogel",
    "Königin der Meere",
    "Seebär",
    "Windsbraut",
    "Flügelschlag",
    "Größenwahn",
    "Übermut",
    "Frühlingsbö",
    "Nordlicht",
    "Löwenherz",
    "Blaue Düne",
    "Weiße Möwe",
    "Fräulein Ährenfeld",
    "Glückspilz",
    "Schöne Aussicht",
    "Störtebeker",
    "Nußschale",
    "Wellenläufer",
    "Seeadler",
    "Hühnergott",
    "Rasmus",
    "Kläbauter",
    "Düsentrieb",
    "Mövenpick",
    "Elbfähre",
    "Gänseblümchen",
    "Fährmann",
    "Sonnenkönig",
    "Brise",
    "Tümmler",
    "Dünung",
    "Kormoran",
    "Schwalbe",
    "Sturmböe",
    "Lütt Deern",
};
const char *const teams[] = {
    "Segelclub Müritz",
    "Yachtclub Überlingen",
    "SV Würzburg",
    "Kieler Yacht-Club",
    "Blankeneser Segel-Club",
    "Segler-Vereinigung Altona",
    "Yacht-Club Lübeck",
    "Segelverein Bärensee",
    "Seglerhaus am Wannsee",
    "Münchner Yacht-Club",
    "Segelclub Möhnesee",
    "Regattaverein Großenbrode",
    "Württembergischer Yacht-Club",
    "Team Nordsee Gäste",
    "Akademischer Segler-Verein Köln",
};
const char *const countries[] = {"GER", "GER", "GER", "AUT", "SUI", "CRO", "NED", "DEN"};

struct ClassInfo {
    const char *name;
    double minKnots; // range of average speeds of the class
    double maxKnots;
};
const ClassInfo classes[] = {
    {"ORC I", 7.0, 9.0},     {"ORC II", 6.0, 7.5},     {"ORC III", 5.2, 6.6},
    {"Yardstick", 4.8, 6.8}, {"Mehrrumpf", 8.0, 11.0},
};

double knotsToKmPerSec(double knots)
{
    return knots * 1.852 / 3600.0;
}

// Offsets of a few kilometres on a flat patch of sea: exact enough for tacks
// and much cheaper than the great-circle functions for 10,000s of fixes.
constexpr double kmPerDegreeLat = 110.574;
constexpr double kmPerDegreeLngAtEquator = 111.320;

GeoPoint offsetKm(const GeoPoint &p, double km, double bearingDeg)
{
    const double b = bearingDeg / Geo::degPerRad;
    const double kx = kmPerDegreeLngAtEquator * std::cos(p.lat() / Geo::degPerRad);
    return GeoPoint(p.lat() + km * std::cos(b) / kmPerDegreeLat, p.lng() + km * std::sin(b) / kx);
}

// Distance (km) and bearing (degrees) from a to b on the same flat patch.
void flatVector(const GeoPoint &a, const GeoPoint &b, double *km, double *bearingDeg)
{
    const double kx = kmPerDegreeLngAtEquator * std::cos(a.lat() / Geo::degPerRad);
    const double dx = (b.lng() - a.lng()) * kx;
    const double dy = (b.lat() - a.lat()) * kmPerDegreeLat;
    *km = std::hypot(dx, dy);
    double deg = std::atan2(dx, dy) * Geo::degPerRad;
    if (deg < 0)
        deg += 360.0;
    *bearingDeg = deg;
}

} // namespace

QList<DemoServer::Boat> makeFleet(quint32 seed, int raceIndex, const DemoServer::Race &race,
                                  int boatsPerRace, bool bigFleet)
{
    Dice dice(mix(seed, quint64(race.eventId) * 1000 + quint64(race.taskId)));
    // At most 999: each race has a thousand ids of its own.
    const int count = boatsPerRace > 0 ? std::min(boatsPerRace, 999)
                      : bigFleet       ? bigFleetSize
                                       : 20 + dice.below(5);
    const int classCount = bigFleet ? int(std::size(classes)) : 3 + dice.below(2);
    const int firstClass = bigFleet ? 0 : dice.below(int(std::size(classes)) - classCount + 1);

    QList<DemoServer::Boat> boats;
    QSet<QString> usedSails;
    QSet<QString> usedNames;
    for (int i = 0; i < count; ++i) {
        DemoServer::Boat b;
        // Ids of different races never meet: each race has its own thousand.
        b.id = (raceIndex + 1) * 1000 + i + 1;
        b.klasse = QString::fromUtf8(classes[firstClass + i % classCount].name);
        QString sail;
        do {
            sail = QStringLiteral("%1 %2")
                       .arg(QString::fromLatin1(dice.pick(countries)))
                       .arg(100 + dice.below(9800));
        } while (usedSails.contains(sail));
        usedSails.insert(sail);
        b.startnr = sail;
        QString name = QString::fromUtf8(dice.pick(boatNames));
        if (usedNames.contains(name))
            name += QStringLiteral(" II");
        if (usedNames.contains(name))
            name += QStringLiteral(" %1").arg(i + 1);
        usedNames.insert(name);
        b.name = name;
        b.team = QString::fromUtf8(dice.pick(teams));
        b.skipper = QString::fromUtf8(dice.pick(firstNames)) + QLatin1Char(' ') +
                    QString::fromUtf8(dice.pick(lastNames));
        boats.append(b);
    }
    return boats;
}

QVector<Waypoint> courseWaypoints(int eventId, int taskId)
{
    QVector<Waypoint> points;
    const QList<CourseRow> rows = CourseTable::rowsFor(eventId, taskId);
    for (const CourseRow &row : rows) {
        const GeoPoint a(row.latA, row.lngA);
        GeoPoint b(row.latB, row.lngB);
        if (row.latB == 0.0 && row.lngB == 0.0)
            b = Geo::destinationPoint(a, row.lengthKm, row.bearingDeg);
        const GeoPoint c = row.midpointCentre ? Geo::midpointOf(a, b) : a;
        points.append({c.lat(), c.lng()});
    }
    return points;
}

QVector<DemoServer::Fix> makeTrack(quint32 seed, const DemoServer::Race &race,
                                   const DemoServer::Boat &boat, const QVector<Waypoint> &course,
                                   int fixMin, int fixMax)
{
    QVector<DemoServer::Fix> fixes;
    if (course.isEmpty() || race.end <= race.start)
        return fixes;
    fixMin = std::max(1, fixMin);
    fixMax = std::max(fixMin, fixMax);

    Dice dice(mix(mix(seed, quint64(race.eventId)), quint64(boat.id)));

    // Legs between the waypoints; a course of one waypoint is a single point.
    struct Leg {
        GeoPoint from;
        GeoPoint to;
        double km;
        double bearing;
        double startKm;
    };
    QVector<Leg> legs;
    double total = 0;
    for (int i = 1; i < course.size(); ++i) {
        const GeoPoint a(course[i - 1].lat, course[i - 1].lng);
        const GeoPoint b(course[i].lat, course[i].lng);
        const double km = Geo::distanceKm(a, b);
        legs.append({a, b, km, Geo::bearingTo(a, b), total});
        total += km;
    }

    // Average speed: the fleet spreads its finishes over the race span, within
    // what such boats can sail.
    double minKn = 4.5, maxKn = 9.0;
    for (const ClassInfo &c : classes) {
        if (boat.klasse == QString::fromUtf8(c.name)) {
            minKn = c.minKnots;
            maxKn = c.maxKnots;
        }
    }
    const double span = double(race.end - race.start);
    const double wantedKn = total / (dice.range(0.6, 0.95) * span) * 3600.0 / 1.852;
    const double avgKn = std::clamp(wantedKn, minKn * 0.5, maxKn * 1.3) * dice.range(0.95, 1.05);
    const double avg = knotsToKmPerSec(avgKn);

    const double windPeriod = dice.range(4.0, 8.0) * 3600.0;
    const double windPhase = dice.range(0.0, Geo::twoPi);
    const double gustPeriod = dice.range(0.4, 1.0) * 3600.0;
    const double gustPhase = dice.range(0.0, Geo::twoPi);
    const double tackAmplitude = dice.range(0.3, 1.1); // km either side of the leg
    const double tackPeriod = dice.range(1200.0, 3600.0);
    const double tackPhase = dice.range(0.0, 1.0);
    const double startShift = dice.range(-0.25, 0.25); // km along the start line

    fixes.reserve(int(span / ((fixMin + fixMax) / 2.0)) + 2);
    qint64 t = race.start + dice.below(fixMax);
    double sailed = 0;
    double noise = 0;
    int leg = 0;
    GeoPoint previous;
    bool havePrevious = false;
    qint64 previousT = t;
    const auto addFix = [&](const GeoPoint &p, qint64 at, double legBearing) {
        DemoServer::Fix fix;
        fix.lat = p.lat();
        fix.lng = p.lng();
        fix.tstamp = at;
        if (havePrevious && at > previousT) {
            double km = 0, bearing = 0;
            flatVector(previous, p, &km, &bearing);
            fix.speed = km / double(at - previousT) * 3600.0 / 1.852;
            fix.heading = km > 0.001 ? bearing : legBearing;
        } else {
            fix.speed = avgKn;
            fix.heading = legBearing;
        }
        // Stored as served, so that the API and the CSV agree to the digit.
        fix.lat = std::round(fix.lat * 1e6) / 1e6;
        fix.lng = std::round(fix.lng * 1e6) / 1e6;
        fix.heading = std::round(fix.heading * 10.0) / 10.0;
        if (fix.heading >= 360.0)
            fix.heading -= 360.0;
        fix.speed = std::round(fix.speed * 100.0) / 100.0;
        fixes.append(fix);
        previous = p;
        previousT = at;
        havePrevious = true;
    };
    while (t <= race.end) {
        GeoPoint p;
        double legBearing = legs.isEmpty() ? 0 : legs[leg].bearing;
        if (legs.isEmpty() || sailed >= total) {
            // Finished (or nowhere to go): lying in the harbour, barely moving.
            const Waypoint &last = course.last();
            p = offsetKm(GeoPoint(last.lat, last.lng), dice.range(0.0, 0.08),
                         dice.range(0.0, 360.0));
        } else {
            while (leg + 1 < legs.size() && sailed > legs[leg].startKm + legs[leg].km)
                ++leg;
            const Leg &l = legs[leg];
            legBearing = l.bearing;
            const double f = l.km > 0 ? std::clamp((sailed - l.startKm) / l.km, 0.0, 1.0) : 1.0;
            const GeoPoint on(l.from.lat() + f * (l.to.lat() - l.from.lat()),
                              l.from.lng() + f * (l.to.lng() - l.from.lng()));
            // Tacking: a zig-zag across the leg that closes in on every mark so
            // that the boat really rounds it.
            const double toMark = std::min(sailed - l.startKm, l.startKm + l.km - sailed);
            const double closing = std::clamp(toMark / 3.0, 0.0, 1.0);
            const double phase = std::fmod(double(t - race.start) / tackPeriod + tackPhase, 1.0);
            const double zigzag = 4.0 * std::abs(phase - 0.5) - 1.0; // -1 .. 1
            double offset = tackAmplitude * closing * zigzag;
            if (leg == 0)
                offset += startShift * (1.0 - closing);
            p = offsetKm(on, std::abs(offset), legBearing + (offset >= 0 ? 90.0 : 270.0));
        }

        // The gun finds the boat a little behind the start line.
        if (fixes.isEmpty() && !legs.isEmpty())
            p = offsetKm(p, 0.3, legs[0].bearing + 180.0);
        addFix(p, t, legBearing);

        const int step = fixMin + dice.below(fixMax - fixMin + 1);
        noise = 0.9 * noise + 0.1 * dice.range(-1.0, 1.0);
        const double tt = double(t - race.start);
        const double factor = 1.0 + 0.25 * std::sin(Geo::twoPi * tt / windPeriod + windPhase) +
                              0.1 * std::sin(Geo::twoPi * tt / gustPeriod + gustPhase) +
                              0.3 * noise;
        const double next = sailed + avg * std::max(0.2, factor) * step;
        // A fix right at each mark passed on the way, so that the track goes
        // round it instead of cutting the corner between two fixes.
        for (int k = leg; k < legs.size() && step > 1; ++k) {
            const double end = legs[k].startKm + legs[k].km;
            if (end <= sailed || end > next)
                continue;
            const qint64 at =
                t + std::clamp<qint64>(std::llround(step * (end - sailed) / (next - sailed)), 1,
                                       step - 1);
            if (at > previousT && at <= race.end)
                addFix(legs[k].to, at, legs[k].bearing);
        }
        sailed = next;
        t += step;
    }
    return fixes;
}

} // namespace DemoFleet
