#include "CommandLine.h"
#include "Form1.h"
#include "ToolkitTranslations.h"

#include "controls/EventProcedure.h"

#include "pixels/files/DefaultResolution.h"

#include <QApplication>
#include <QLocale>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    useDefaultResolution();
    // The toolkit takes its own options (-platform, -display, -style and the like) out of argv first, as in every
    // Qt program; the program reads what is left from argv itself, byte for byte, since arguments() decodes it.
    QApplication app(argc, argv);
    const CommandLine commandLine = CommandLine::parse(QList<QByteArray>(argv + 1, argv + argc));
    if (!commandLine.error.isEmpty()) {
        std::fputs(commandLine.error.toLocal8Bit().constData(), stderr);
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("kelvo"));
    QApplication::setDesktopFileName(QStringLiteral("org.example.kelvo"));
    installToolkitTranslations();

    Form1 form;
    // A failure while the window is being set up ends the program before the window is shown.
    if (!runEventProcedure([&] { form.Form_Load(); }))
        return 1;
    form.show();
    // A picture named at start opens once the event loop runs, in the window already shown.
    if (commandLine.pictureFile)
        QTimer::singleShot(0, &form, [&form, file = *commandLine.pictureFile] { form.openPictureFile(file); });
    return QApplication::exec();
}
