#pragma once

#include <result.h>
#include <tr.h>

#include <QString>
#include <QStringList>
#include <QTranslator>

#include <memory>
#include <vector>

namespace till {

// The cashier's language for the texts the till shows from the plug-in and the host: answer
// messages and progress lines. Looks each message up by its key in the compiled catalogues
// (velmor_<language>.qm of the plug-in, zelnarhost_<language>.qm of the host), translating
// its arguments too. A message without a usable translation is shown in Russian, as the code
// built it, so that no line is ever empty.
class Catalogue
{
public:
    static const QString DefaultLanguage;

    // Loads the catalogues of `language` from the first of `directories` that holds each.
    // Russian needs none (its texts are the code's own); any other language needs both, and
    // fails without them.
    Result<> load(const QString &language, const QStringList &directories);

    QString text(const tr::Tr &message) const;

    // Where the catalogues of a till that loads `pluginFile` are: beside the plug-in, in the
    // build tree beside the till, and where an installed till keeps the host's.
    static QStringList directories(const QString &pluginFile);

    // The catalogue the till's answer and progress lines go through; Russian until loaded.
    // Loaded once before any sale starts, and only read afterwards, from any thread.
    static Catalogue &shown();

private:
    QString translation(const QString &key) const;

    std::vector<std::unique_ptr<QTranslator>> m_translators;
};

} // namespace till
