#include "update/vuversioncomparator.h"

VuVersionComparator::PartType VuVersionComparator::charType(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return Number;
    // ASCII whitespace: space, tab, line feed, vertical tab, form feed, return.
    if (c == ' ' || (c >= '\t' && c <= '\r'))
        return Separator;
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (c > ' ' && c < 0x7f && !letter)
        return Separator;
    return Text;
}

VuVersionComparator::PartType VuVersionComparator::partType(const QByteArray &part)
{
    if (part.isEmpty())
        return Text;
    return charType(static_cast<unsigned char>(part.at(0)));
}

QList<QByteArray> VuVersionComparator::splitVersion(const QByteArray &version)
{
    QList<QByteArray> parts;
    if (version.isEmpty())
        return parts;

    QByteArray current(1, version.at(0));
    PartType currentType = charType(static_cast<unsigned char>(version.at(0)));
    for (int i = 1; i < version.size(); ++i) {
        const char c = version.at(i);
        const PartType type = charType(static_cast<unsigned char>(c));
        if (type != currentType || type == Separator) {
            parts.append(current);
            current = QByteArray(1, c);
        } else {
            current.append(c);
        }
        currentType = type;
    }
    parts.append(current);
    return parts;
}

// Digit runs of any length: compared without converting, so huge numbers
// neither overflow nor wrap.
int VuVersionComparator::compareNumbers(const QByteArray &a, const QByteArray &b)
{
    auto significant = [](const QByteArray &digits) {
        int first = 0;
        while (first < digits.size() - 1 && digits.at(first) == '0')
            ++first;
        return digits.mid(first);
    };
    const QByteArray x = significant(a);
    const QByteArray y = significant(b);
    if (x.size() != y.size())
        return x.size() < y.size() ? -1 : 1;
    return compareTexts(x, y);
}

int VuVersionComparator::compareTexts(const QByteArray &a, const QByteArray &b)
{
    const int n = qMin(a.size(), b.size());
    for (int i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a.at(i));
        const auto y = static_cast<unsigned char>(b.at(i));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

int VuVersionComparator::compareVersions(const QByteArray &a, const QByteArray &b)
{
    const QList<QByteArray> partsA = splitVersion(a);
    const QList<QByteArray> partsB = splitVersion(b);
    const int n = qMin(partsA.size(), partsB.size());

    for (int i = 0; i < n; ++i) {
        const QByteArray &pa = partsA.at(i);
        const QByteArray &pb = partsB.at(i);
        const PartType ta = partType(pa);
        const PartType tb = partType(pb);
        if (ta == tb) {
            int result = 0;
            if (ta == Number)
                result = compareNumbers(pa, pb);
            else if (ta == Text)
                result = compareTexts(pa, pb);
            if (result != 0)
                return result;
            continue;
        }
        // A letter suffix loses against a number or a separator, and a
        // number wins against a separator.
        if (ta == Text)
            return -1;
        if (tb == Text)
            return 1;
        return ta == Number ? 1 : -1;
    }

    if (partsA.size() == partsB.size())
        return 0;
    // Extra text ("2.7b") makes the longer version older, anything else
    // ("2.7.1") newer.
    const bool aLonger = partsA.size() > partsB.size();
    const QByteArray &extra = aLonger ? partsA.at(n) : partsB.at(n);
    const bool longerIsNewer = partType(extra) != Text;
    return (aLonger == longerIsNewer) ? 1 : -1;
}
