#include "ui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "ui/file_dialog_locale.h"
#include "ui/missing_qt_japanese.h"

namespace varnotte {

bool InstallQtJapanese(QCoreApplication& application) {
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    auto* translator = new QTranslator(&application);
    if (!translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    if (!QCoreApplication::installTranslator(translator)) {
        return false;
    }
    // Asked first, as installed last; it answers only what Qt's catalogue lacks.
    QCoreApplication::installTranslator(new MissingQtJapanese(&application));
    new FileDialogLocale(japanese, &application);
    return true;
}

}  // namespace varnotte
