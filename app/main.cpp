#include "Form1.h"
#include "ToolkitTranslations.h"

#include "controls/EventProcedure.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char *argv[])
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelvo"));
    QApplication::setDesktopFileName(QStringLiteral("kelvo"));
    installToolkitTranslations();

    Form1 form;
    // A failure while the window is being set up ends the program before the window is shown.
    if (!runEventProcedure([&] { form.Form_Load(); }))
        return 1;
    form.show();
    return QApplication::exec();
}
