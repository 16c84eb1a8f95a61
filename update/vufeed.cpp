#include "update/vufeed.h"

#include "update/vuignoredversions.h"
#include "update/vuplatform.h"

#include <QCoreApplication>
#include <QXmlStreamReader>

namespace VuFeed
{

namespace
{

enum class Field { None, Title, Link, ReleaseNotesLink, PubDate };

Field fieldOf(const QXmlStreamReader &xml)
{
    if (xml.qualifiedName() == QLatin1String("update:releaseNotesLink"))
        return Field::ReleaseNotesLink;
    const QStringView name = xml.name();
    if (name == QLatin1String("title"))
        return Field::Title;
    if (name == QLatin1String("link"))
        return Field::Link;
    if (name == QLatin1String("pubDate"))
        return Field::PubDate;
    return Field::None;
}

// Takes the enclosure when it names the running platform; a later matching
// enclosure of the same item overwrites an earlier one.
void readEnclosure(const QXmlStreamAttributes &attributes, VuFeedItem &item)
{
    const QLatin1String platformKey("velmaro:platform");
    const QString platform = attributes.value(platformKey).toString().trimmed();
    if (!attributes.hasAttribute(platformKey) || !VuPlatform::matchesCurrentPlatform(platform))
        return;
    auto text = [&](const char *attribute) {
        return attributes.value(QLatin1String(attribute)).toString().trimmed();
    };
    item.platform = platform;
    item.url = text("url");
    item.version = attributes.hasAttribute(QLatin1String("update:version"))
                       ? text("update:version")
                       : text("velmaro:version");
    item.minPrevVersion = text("velmaro:minPrevVersion");
    item.programType = text("velmaro:programType");
    bool ok = false;
    item.length = attributes.value(QLatin1String("length")).toLongLong(&ok);
    if (!ok)
        item.length = 0;
    item.type = text("type");
    item.sha256 =
        attributes.hasAttribute(QLatin1String("sha256")) ? text("sha256") : text("velmaro:sha256");
}

} // namespace

VuFeedParse parse(const QByteArray &bytes)
{
    VuFeedParse result;
    QXmlStreamReader xml(bytes);
    VuFeedItem item;
    Field field = Field::None;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            field = fieldOf(xml);
            if (xml.name() == QLatin1String("item"))
                item = VuFeedItem();
            else if (xml.name() == QLatin1String("enclosure"))
                readEnclosure(xml.attributes(), item);
        } else if (xml.isEndElement()) {
            field = Field::None;
            if (xml.name() == QLatin1String("item"))
                result.items.append(item);
        } else if (xml.isCharacters() && !xml.isWhitespace()) {
            const QString chunk = xml.text().toString().trimmed();
            switch (field) {
            case Field::Title:
                item.title += chunk;
                break;
            case Field::Link:
                item.link += chunk;
                break;
            case Field::ReleaseNotesLink:
                item.releaseNotesLink += chunk;
                break;
            case Field::PubDate:
                item.pubDate += chunk;
                break;
            case Field::None:
                break;
            }
        }
        if (xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError) {
            result.error = xml.errorString();
            result.errorLine = xml.lineNumber();
            break;
        }
    }
    return result;
}

bool isSuitable(const VuFeedItem &item)
{
    if (item.minPrevVersion.isEmpty())
        return item.programType == QLatin1String("FULL");
    return VUIgnoredVersions::meetsMinimumVersion(item.minPrevVersion) &&
           (item.programType.isEmpty() || item.programType == QLatin1String("FULL"));
}

QString installerRefusal(const QUrl &feedUrl, const QUrl &installerUrl, bool hasSha256)
{
    const QLatin1String https("https");
    if (installerUrl.scheme() == https)
        return QString();
    if (feedUrl.scheme() == https)
        return QCoreApplication::translate(
                   "VuFeed", "Der Update-Feed kam verschlüsselt (https), das Update soll aber "
                             "unverschlüsselt von %1 kommen. Es wird nicht angeboten.")
            .arg(installerUrl.toDisplayString());
    if (!hasSha256)
        return QCoreApplication::translate(
                   "VuFeed", "Das Update soll unverschlüsselt von %1 kommen, und der Update-Feed "
                             "nennt keine Prüfsumme (sha256). Es wird nicht angeboten.")
            .arg(installerUrl.toDisplayString());
    return QString();
}

} // namespace VuFeed
