#pragma once

#include <QString>
#include <QStringList>

namespace velmor {

// Service texts may repeat the credentials they were sent (a proxy quoting the Authorization
// header in its error page, a server echoing the request): such a text must not reach a log, an
// answer line or the cashier's screen with them.

// The texts that give the credentials away: the login and the password as written, their
// percent-encoded and Base64 forms, and the Base64 "login:password" of the Basic header (which
// the header's value holds), each as the client may encode it.
QStringList credentialForms(const QString &login, const QString &password);

// `text` with every one of `forms` replaced by "***". A form is masked wherever it does not run
// on into a longer word (a letter, digit or '_' beside a letter, digit or '_' at its edge), so
// that a login such as "order" leaves "order_not_found" alone while "user=order;" loses it.
QString maskSecrets(const QString &text, const QStringList &forms);

// The credentials this process's client was last configured with (the ones it sends), kept
// for maskSecrets(): the answer decoding masks every service text with them.
void rememberCredentials(const QString &login, const QString &password);
QString maskRememberedSecrets(const QString &text);

} // namespace velmor
