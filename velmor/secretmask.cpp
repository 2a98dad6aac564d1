#include "secretmask.h"

#include <QUrl>

#include <algorithm>
#include <mutex>

namespace velmor {

namespace {

const QString Mask = QStringLiteral("***");

bool isWordCharacter(const QChar character)
{
    return character.isLetterOrNumber() || character == QLatin1Char('_');
}

std::mutex rememberedMutex;
QStringList remembered;

} // namespace

QStringList credentialForms(const QString &login, const QString &password)
{
    QStringList forms;
    const QString pair = login + QLatin1Char(':') + password;
    for (const QString &secret : {login, password, pair}) {
        if (secret.isEmpty() || secret == QLatin1String(":"))
            continue;
        forms << secret << QString::fromLatin1(QUrl::toPercentEncoding(secret));
        // The header is made from the local 8-bit encoding; a proxy or a log may have UTF-8.
        for (const QByteArray &bytes : {secret.toUtf8(), secret.toLocal8Bit()}) {
            forms << QString::fromLatin1(bytes.toBase64())
                  << QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding))
                  << QString::fromLatin1(bytes.toBase64(QByteArray::Base64Encoding |
                                                        QByteArray::OmitTrailingEquals));
        }
    }
    forms.removeDuplicates();
    // Longest first, so that a form holding another is masked whole.
    std::stable_sort(forms.begin(), forms.end(),
                     [](const QString &a, const QString &b) { return a.size() > b.size(); });
    return forms;
}

QString maskSecrets(const QString &text, const QStringList &forms)
{
    QString masked = text;
    for (const QString &form : forms) {
        if (form.isEmpty())
            continue;
        int from = 0;
        int at = 0;
        while ((at = masked.indexOf(form, from)) >= 0) {
            const int end = at + form.size();
            // Only a word that runs on into the text around it is another word.
            const bool joinedBefore =
                at > 0 && isWordCharacter(masked.at(at - 1)) && isWordCharacter(form.front());
            const bool joinedAfter = end < masked.size() && isWordCharacter(masked.at(end)) &&
                                     isWordCharacter(form.back());
            if (joinedBefore || joinedAfter) {
                from = at + 1;
                continue;
            }
            masked.replace(at, form.size(), Mask);
            from = at + Mask.size();
        }
    }
    return masked;
}

void rememberCredentials(const QString &login, const QString &password)
{
    const QStringList forms = credentialForms(login, password);
    const std::lock_guard<std::mutex> lock(rememberedMutex);
    remembered = forms;
}

QString maskRememberedSecrets(const QString &text)
{
    if (text.isEmpty())
        return text;
    const std::lock_guard<std::mutex> lock(rememberedMutex);
    return maskSecrets(text, remembered);
}

} // namespace velmor
