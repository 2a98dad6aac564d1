#include "guitext.h"

#include <till/catalogue.h>
#include <velmor/rounding.h>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

// Q_INIT_RESOURCE names a function in the global namespace: the resources of a static library
// are registered by a call, since nothing else would pull them into the program.
static void registerScreenCatalogues()
{
    Q_INIT_RESOURCE(tillgui_texts);
}

namespace tillgui {

namespace {

QString currentLanguage = QStringLiteral("ru");

// The screen's own catalogues (translations/tillgui_*.ts), compiled into the program: the
// Russian one, and the English one, whose translations are its sources.
struct ScreenCatalogues
{
    ScreenCatalogues()
    {
        registerScreenCatalogues();
        // Built with the program: a missing one is a broken build, whose texts show in English.
        if (!russian.load(QStringLiteral(":/tillgui/tillgui_ru.qm")) ||
            !english.load(QStringLiteral(":/tillgui/tillgui_en.qm")))
            qWarning("till-gui: the screen's catalogues are not in the program");
    }

    QTranslator russian;
    QTranslator english;
};

// Loaded at the first text, then only read, from any thread.
const ScreenCatalogues &screenCatalogues()
{
    static const ScreenCatalogues catalogues;
    return catalogues;
}

} // namespace

namespace guitext {

bool isLanguage(const QString &language)
{
    return language == QLatin1String("ru") || language == QLatin1String("en");
}

void setLanguage(const QString &language)
{
    currentLanguage = isLanguage(language) ? language : QStringLiteral("ru");
}

QString language()
{
    return currentLanguage;
}

QString text(const char *english)
{
    const ScreenCatalogues &catalogues = screenCatalogues();
    const QTranslator &catalogue =
        currentLanguage == QLatin1String("en") ? catalogues.english : catalogues.russian;
    const QString translated = catalogue.translate("tillgui", english);
    return translated.isEmpty() ? QString::fromUtf8(english) : translated;
}

Result<> loadCatalogue(const QString &language, const QString &pluginFile)
{
    return till::Catalogue::shown().load(language, till::Catalogue::directories(pluginFile));
}

Result<> loadQtTexts(const QString &language)
{
    // One translator of Qt's own at a time, replaced when the language changes.
    static std::unique_ptr<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    // Qt's texts are English to begin with.
    if (language == QLatin1String("en"))
        return ResultOk;
    const QString directory = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    const QString name = QStringLiteral("qtbase_") + language;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(name, directory))
        return ResultError(QStringLiteral("no %1.qm in %2 (Debian's qttranslations5-l10n); Qt's "
                                          "own texts stay in English")
                               .arg(name, directory));
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return ResultOk;
}

QString roubles(qint64 kopecks)
{
    return text("%1 roubles").arg(velmor::roublesText(kopecks));
}

QString of(const tr::Tr &message)
{
    return till::Catalogue::shown().text(message);
}

} // namespace guitext

} // namespace tillgui
