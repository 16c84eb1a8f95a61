// Draws the boat picture sprites/ship_32.png: a sailing yacht seen from
// above, bow up, white on transparent. The sprite is tinted by keeping only
// its alpha, so the deck details are drawn as shades of transparency.
// Usage: boatpicture [output.png]

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cstdlib>

namespace
{

QPainterPath hull()
{
    // Pointed bow at the top, full beam aft of the middle, flat transom.
    QPainterPath path;
    path.moveTo(16.0, 1.5);
    path.cubicTo(20.5, 7.0, 22.5, 13.0, 22.0, 20.0);
    path.cubicTo(21.8, 24.5, 21.0, 28.0, 20.0, 30.5);
    path.lineTo(12.0, 30.5);
    path.cubicTo(11.0, 28.0, 10.2, 24.5, 10.0, 20.0);
    path.cubicTo(9.5, 13.0, 11.5, 7.0, 16.0, 1.5);
    path.closeSubpath();
    return path;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString output = args.size() > 1 ? args.at(1) : QStringLiteral("sprites/ship_32.png");

    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Deck, slightly see-through, inside an opaque sheer line.
    p.setPen(QPen(QColor(255, 255, 255, 255), 1.6));
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawPath(hull());

    // Cabin roof and cockpit, lighter still, so they read after tinting.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 255));
    p.drawRoundedRect(QRectF(13.0, 11.0, 6.0, 8.0), 2.0, 2.0);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.setBrush(QColor(255, 255, 255, 110));
    p.drawRoundedRect(QRectF(13.0, 21.5, 6.0, 6.0), 1.5, 1.5);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);

    // Mast foot and boom along the centre line.
    p.setBrush(QColor(255, 255, 255, 255));
    p.drawEllipse(QPointF(16.0, 10.0), 1.4, 1.4);
    p.setPen(QPen(QColor(255, 255, 255, 255), 1.0));
    p.drawLine(QPointF(16.0, 10.0), QPointF(16.0, 24.0));
    p.end();

    if (!image.convertToFormat(QImage::Format_ARGB32).save(output, "png")) {
        QTextStream(stderr) << "boatpicture: cannot write " << output << "\n";
        return EXIT_FAILURE;
    }
    QTextStream(stdout) << output << "\n";
    return EXIT_SUCCESS;
}
