// Saves what the X server shows, the whole screen, as a PNG file: screen_grab OUT.png
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: screen_grab OUT.png\n", stderr);
        return 64;
    }
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    return shot.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
