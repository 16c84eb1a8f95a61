// Renders sprites/shipstrip.png from sprites/ship_32.png.
// Usage: spritestrip [input.png [output.png]]

#include "scene/spritestrip.h"

#include <QGuiApplication>
#include <QTextStream>

#include <cstdlib>

int main(int argc, char *argv[])
{
    // Pixmaps need a GUI application, but not a screen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString input = args.size() > 1 ? args.at(1) : QStringLiteral("sprites/ship_32.png");
    const QString output = args.size() > 2 ? args.at(2) : QStringLiteral("sprites/shipstrip.png");
    QTextStream err(stderr);
    if (!SpriteStrip::generateSpriteStrip(input, output)) {
        err << "spritestrip: cannot turn " << input << " into " << output << "\n";
        return EXIT_FAILURE;
    }
    QTextStream(stdout) << output << ": " << SpriteStrip::frameCount << " frames\n";
    return EXIT_SUCCESS;
}
