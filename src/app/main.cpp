#include <QApplication>

#include "app/UnitMain.h"
#include "app/user_dialogs.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvane"));

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
