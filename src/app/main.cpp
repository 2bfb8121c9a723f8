#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/UnitMain.h"
#include "app/user_dialogs.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvane"));
    // The window speaks Japanese: so do the buttons of Qt's own dialogs, when installed.
    QTranslator qtJapanese;
    if (qtJapanese.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtJapanese);

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();

    korvane::QtUserDialogs dialogs;
    int status;
    {
        korvane::TForm1 form(dialogs, arguments);
        form.show();
        status = QApplication::exec();
        form.FormDestroy();
    }
    return status;
}
