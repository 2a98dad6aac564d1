#include "catalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace till {

namespace {

const char *const CatalogueNames[] = {"velmor", "zelnarhost"};

bool hasMarker(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%[0-9]"));
    return marker.match(text).hasMatch();
}

} // namespace

const QString Catalogue::DefaultLanguage = QStringLiteral("ru");

Result<> Catalogue::load(const QString &language, const QStringList &directories)
{
    m_translators.clear();
    // The code names a file; nothing but a language code may go into its name.
    static const QRegularExpression code(QStringLiteral("^[a-z]{2,3}(_[A-Z]{2})?$"));
    if (!code.match(language).hasMatch())
        return ResultError(
            QStringLiteral("--lang '%1' is not a language code such as ru or en").arg(language));
    // Russian is the code's own language, and a service's error text is its own Russian
    // default: the Russian catalogue is for translators, never shown in place of either.
    if (language == DefaultLanguage)
        return ResultOk;
    for (const char *name : CatalogueNames) {
        const QString file = QStringLiteral("%1_%2.qm").arg(QLatin1String(name), language);
        QString found;
        for (const QString &directory : directories) {
            if (QFileInfo(QDir(directory).filePath(file)).isFile()) {
                found = QDir(directory).filePath(file);
                break;
            }
        }
        if (found.isEmpty()) {
            if (language == DefaultLanguage)
                continue;
            m_translators.clear();
            return ResultError(QStringLiteral("--lang %1: no catalogue %2 in %3")
                                   .arg(language, file, directories.join(QStringLiteral(", "))));
        }
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(found)) {
            m_translators.clear();
            return ResultError(
                QStringLiteral("--lang %1: catalogue %2 cannot be read").arg(language, found));
        }
        m_translators.push_back(std::move(translator));
    }
    return ResultOk;
}

QString Catalogue::text(const tr::Tr &message) const
{
    const QString translated = translation(message.key());
    // A service's error arrives as finished text: a pattern's markers would stay open in it.
    if (translated.isEmpty() || (message.args().isEmpty() && hasMarker(translated)))
        return message.ru();
    tr::Tr pattern(message.key(), translated);
    for (const tr::Tr &argument : message.args())
        pattern = pattern.arg(tr::Tr(text(argument)));
    return pattern.ru();
}

QStringList Catalogue::directories(const QString &pluginFile)
{
    QStringList list{QFileInfo(pluginFile).absolutePath() + QStringLiteral("/translations"),
                     QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                     QStringLiteral("/../translations"))};
#ifdef VELMOR_TILL_TRANSLATIONS_DIR
    list.append(QStringLiteral(VELMOR_TILL_TRANSLATIONS_DIR));
#endif
    return list;
}

Catalogue &Catalogue::shown()
{
    static Catalogue catalogue;
    return catalogue;
}

QString Catalogue::translation(const QString &key) const
{
    if (key.isEmpty())
        return QString();
    // lrelease -idbased keeps each message under its id as source text, in the empty context,
    // which is where qtTrId looks too.
    const QByteArray id = key.toUtf8();
    for (const auto &translator : m_translators) {
        const QString text = translator->translate("", id.constData());
        if (!text.isEmpty())
            return text;
    }
    return QString();
}

} // namespace till
