#include "Form1.h"

#include "controls/EventProcedure.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// The toolkit's own texts (dialog buttons, file dialogs) in simplified Chinese.
void loadToolkitTranslations(QApplication &app, QTranslator &translator)
{
    if (translator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&translator);
}

} // namespace

int main(int argc, char *argv[])
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelvo"));
    QApplication::setDesktopFileName(QStringLiteral("kelvo"));
    QTranslator translator;
    loadToolkitTranslations(app, translator);

    Form1 form;
    // A failure while the window is being set up ends the program before the window is shown.
    if (!runEventProcedure([&] { form.Form_Load(); }))
        return 1;
    form.show();
    return app.exec();
}
