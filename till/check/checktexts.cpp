#include "checktexts.h"

#include <QTranslator>

// Q_INIT_RESOURCE names a function in the global namespace: the resources of a static library
// are registered by a call, since nothing else would pull them into the program.
static void registerCheckCatalogue()
{
    Q_INIT_RESOURCE(tillcheck_texts);
}

namespace till {

namespace {

// The check's catalogue (translations/tillcheck_en.ts), compiled into the program, so that an
// installed till prints its checks wherever it is started from.
struct CheckCatalogue
{
    CheckCatalogue()
    {
        registerCheckCatalogue();
        // Built with the program: a missing one is a broken build, whose lines show the keys.
        if (!english.load(QStringLiteral(":/tillcheck/tillcheck_en.qm")))
            qWarning("till: the check's catalogue is not in the program");
    }

    QTranslator english;
};

// Loaded at the first text, then only read, from any thread.
const CheckCatalogue &catalogue()
{
    static const CheckCatalogue loaded;
    return loaded;
}

} // namespace

namespace CheckTexts {

QString text(const char *key)
{
    // lrelease -idbased keeps each message under its id, in the empty context.
    const QString translated = catalogue().english.translate("", key);
    return translated.isEmpty() ? QString::fromLatin1(key) : translated;
}

QString dateText(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"))
                          : text("dateUnknown");
}

QString inFile(const QString &hint, const QString &file)
{
    return text("hintEditFile").arg(hint, file);
}

} // namespace CheckTexts

} // namespace till
