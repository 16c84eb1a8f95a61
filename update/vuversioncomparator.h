#ifndef VELMARO_UPDATE_VUVERSIONCOMPARATOR_H
#define VELMARO_UPDATE_VUVERSIONCOMPARATOR_H

#include <QByteArray>
#include <QList>

// Ordering of free-form version strings such as "2.7.10", "2.8b12" or
// "3.0 rc2": runs of digits compare as numbers, runs of letters byte-wise,
// every separator character is a part of its own and all separators rank
// the same.
class VuVersionComparator
{
public:
    enum PartType { Number, Separator, Text };

    // -1 when a is older than b, 0 when they rank the same, +1 when a is newer.
    static int compareVersions(const QByteArray &a, const QByteArray &b);
    static QList<QByteArray> splitVersion(const QByteArray &version);
    static PartType partType(const QByteArray &part);

private:
    static PartType charType(unsigned char c);
    static int compareNumbers(const QByteArray &a, const QByteArray &b);
    static int compareTexts(const QByteArray &a, const QByteArray &b);
};

#endif
