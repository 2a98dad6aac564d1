#include "checktexts.h"

#include <QHash>

namespace till {

namespace {

struct Entry
{
    const char *key;
    const char *text;
};

// Key, English text. Hints are one sentence on what to do.
const Entry Entries[] = {
    // Check names beyond the configuration keys, which stand for themselves.
    {"checkConfigFile", "configuration file"},
    {"checkClientCertificate", "client certificate"},
    {"checkCaFile", "CA file"},
    {"checkProxy", "proxy"},
    {"checkHostName", "host name"},
    {"checkConnection", "connection"},
    {"checkTls", "TLS"},
    {"checkCredentials", "credentials"},
    {"checkQueue", "queue"},
    {"checkJournal", "journal"},
    {"checkPlugin", "plug-in"},

    {"skipNoConfig", "skipped because the configuration file cannot be read"},
    {"skipNoUrl", "skipped because Velmor:url is not usable"},
    {"skipNoAddress", "skipped because the host name does not resolve"},
    {"skipNoConnection", "skipped because no connection opened"},
    {"skipNoService", "skipped because the service cannot be reached"},

    {"valueDefault", "%1 (default)"},
    {"seconds", "%1 s"},
    {"dateUnknown", "unknown"},
    {"ageSeconds", "%1 s"},
    {"ageMinutes", "%1 min"},
    {"ageHours", "%1 h"},
    {"ageDays", "%1 days"},
    {"secretPlaceholder", "still the shipped placeholder: not set up yet"},
    {"secretPlaceholderHint", "write the login and password the merchant service gave this till."},
    {"secretSet", "set"},
    {"secretEmpty", "empty"},
    {"notWholeNumber", "not a whole number, so the plug-in uses %1 s"},
    {"hintEditFile", "%1 The file to edit: %2."},

    {"configNone", "%1: no such file, so the plug-in sees only the defaults"},
    {"configNoneHint", "install the plug-in's configuration as %1, or name a file with --config."},
    {"configMissing", "%1: no such file"},
    {"configMissingHint", "check the path given with --config."},
    {"configUnreadable", "%1 cannot be read: %2"},
    {"configNotAFile", "not a regular file"},
    {"configUnreadableHint", "make the file readable for the till's user."},
    {"configInstalledUnreadableHint",
     "add the till's user to group velmor (adduser USER velmor, then log in again); %1 is "
     "readable by root and group velmor only."},
    {"configNotUtf8", "%1 is not UTF-8, so the plug-in refuses every operation"},
    {"configNotUtf8Hint", "save %1 as UTF-8."},
    {"configNoSection", "%1 holds no [section], so the plug-in refuses every operation"},
    {"configNoSectionHint", "write the keys in %1 under [Velmor] and [Velmro], as the shipped "
                            "velmor.ini does."},
    {"configOk", "%1: readable, UTF-8, %2 keys"},
    {"configWorldReadable",
     "%1: readable, UTF-8, %2 keys, but every user of this machine may read it (mode %3) and it "
     "holds a password"},
    {"configWorldReadableHint",
     "take the other users' rights away: chmod o-rwx %1 (an installed till: chown root:velmor "
     "%1 too)."},

    {"urlUnparsable", "(not a URL)"},
    {"urlScheme", "%1 is not an http or https URL"},
    {"urlNoHost", "%1 names no host"},
    {"urlPlaceholder", "%1 is a placeholder that never resolves: not set up yet"},
    {"urlPlaceholderHint", "write the service's address the merchant service gave this till."},
    {"urlHint", "write the service's address as https://host[:port][/path]."},
    {"urlUserInfo", "%1 carries a user name or password inside the URL"},
    {"urlUserInfoHint",
     "remove them from the URL and keep the credentials in Velmor:login and Velmor:password."},
    {"urlPlainHttp",
     "%1 is plain http to %2, which is not this machine: the credentials travel in clear "
     "text"},
    {"urlPlainHttpHint", "use the service's https address."},

    {"timeoutNotPositive", "%1 is taken as %2 s"},
    {"timeoutShort", "%1 s is under 5 s, too short for a slow network"},
    {"timeoutLong", "%1 s is over 300 s, so a dead service keeps the cashier waiting"},
    {"timeoutHint", "write a timeout between 5 and 300 seconds."},
    {"intervalMisplaced",
     "%1, because infoRequestInterval stands under [Velmor], which nothing reads"},
    {"intervalMisplacedHint",
     "move infoRequestInterval to a section spelt [Velmro], as the plug-in reads it from "
     "there."},
    {"intervalShort", "%1 s is under 1 s and is taken as 1 s"},
    {"intervalHint", "write an interval of 1 second or more."},
    {"certificateNone", "none configured"},

    {"keyUnread", "nothing reads this key"},
    {"keyUnreadHint",
     "check its spelling: [Velmor] holds url, login, password, timeout, certificatePath and "
     "certificatePassword, [Velmro] holds infoRequestInterval."},
    {"keySectionCaseHint",
     "section names are case-sensitive: write [Velmor] or [Velmro] exactly so."},

    {"certificateUnreadable", "%1 cannot be read"},
    {"certificateHint", "point Velmor:certificatePath at the till's PKCS#12 file."},
    {"certificateNotPkcs12", "%1 is not a PKCS#12 file (%2)"},
    {"certificateWrongPassword", "%1 does not open with the configured password (%2)"},
    {"certificateEmpty", "%1 holds no certificate"},
    {"certificatePasswordHint",
     "check Velmor:certificatePassword and that the file is the till's certificate."},
    {"certificateFound", "%1, valid until %2"},
    {"certificateExpired", "%1: expired"},
    {"certificateNotYetValid", "%1: not valid before %2"},
    {"certificateExpiresSoon", "%1: expires within 30 days"},
    {"certificateRenewHint", "ask for a new client certificate for this till."},
    {"clockHint", "check the till's date and time."},

    {"caFileNone", "none configured, the system's authorities only"},
    {"caFileUnreadable", "%1 cannot be read"},
    {"caFileEmpty", "%1 holds no PEM certificate"},
    {"caFileHint", "point Network:caFile at a readable PEM file with the service's CA."},
    {"caFileOk", "%1: %2 certificates"},

    {"proxyNone", "none, the till connects to the service directly"},
    {"proxyFound", "%1, from %2"},
    {"proxyPlainHttp", "%1: the login and password cross it in clear text over plain http"},
    {"proxyPlainHttpHint", "use the service's https address, or unset %1 for the till."},

    {"hostFail", "%1 does not resolve: %2"},
    {"hostHint", "check the host name in Velmor:url and the till's DNS settings."},
    {"hostOk", "%1 resolves to %2"},
    {"hostAddress", "%1 is an IP address, nothing to resolve"},
    {"connectFail", "%1 port %2: %3"},
    {"connectHint", "check that the service runs there and that no firewall blocks the port."},
    {"notTlsHint", "that port answers plain http: write http:// for it, or the service's https "
                   "port."},
    {"connectionCutHint",
     "the service closed the connection after the TLS handshake, as a service does that refuses "
     "the till's client certificate: check Velmor:certificatePath."},
    {"clientCertificateRefusedHint",
     "the service refused the till's client certificate: point Velmor:certificatePath at the "
     "certificate the service issued for this till."},
    {"connectOk", "%1 port %2 opened in %3 ms"},
    {"tlsPlain", "not used, plain http"},
    {"tlsFail", "handshake failed: %1"},
    {"tlsHint",
     "check the server's certificate, the till's date and time, and Network:caFile for a "
     "private CA."},
    {"tlsOk", "handshake verified in %1 ms; server certificate %2, valid until %3"},
    {"tlsExpiresSoon", "%1: expires within 30 days"},
    {"tlsRenewHint", "ask the service's operator to renew the server certificate."},

    {"credentialsTransport", "the status request failed: %1"},
    {"credentialsOk", "accepted: the service answered HTTP %1 order_not_found for a made-up order"},
    {"credentialsRefused", "refused with HTTP %1: %2"},
    {"credentialsHint", "check Velmor:login and Velmor:password."},
    {"credentialsUnexpected", "the service answered HTTP %1: %2"},
    {"credentialsUnexpectedHint",
     "check that Velmor:url, path included, is the service's base address."},
    {"credentialsNoJson", "no JSON body"},

    {"queueNone", "no queue yet at %1"},
    {"queueNoDirectory", "directory %1 does not exist"},
    {"queueNotWritable", "the till's user cannot write %1"},
    {"queueUnwritable", "%1: %2, so a cancellation or refund without answer cannot be queued"},
    {"queueUnwritableHint",
     "make %1 writable for the till's user (an installed till: add the user to group velmor)."},
    {"queueOpen", "cannot be opened"},
    {"queueIntegrity", "cannot be checked"},
    {"queueRead", "holds no readable queue"},
    {"queueFail", "%1 %2: %3"},
    {"queueCorrupt", "%1 is damaged: %2"},
    {"queueFailHint",
     "keep a copy of the file for the service desk and ask them before you remove it."},
    {"queueEmpty", "%1: no message waiting"},
    {"queuePending", "%1: %2 messages waiting, the oldest for %3"},
    {"queueOldHint", "run `till replay` while the service can be reached."},

    {"journalNone", "no journal yet at %1"},
    {"journalUnwritable", "%1: %2, so the plug-in refuses every sale and refund"},
    {"journalFail", "%1"},
    {"journalFailHint",
     "the plug-in sets a damaged journal aside at its next start and begins a new one; keep "
     "the file for the service desk if it cannot be read otherwise."},
    {"journalFine", "%1: %2 entries without an outcome, %3 reversals in the queue"},
    {"journalDead",
     "%1: %2 entries left without an outcome by a till or host that ended, the oldest from %3: "
     "%4"},
    {"journalDeadHint",
     "start the till or host again (any operation): the plug-in hands them to the queue, then "
     "run `till replay` while the service can be reached."},

    {"pluginMissing", "%1: no such file"},
    {"pluginHint", "name the plug-in library with --plugin."},
    {"pluginNotLoaded", "%1 cannot be loaded: %2"},
    {"pluginWrongIid", "%1 is a plug-in with IID \"%2\", not \"Velmor\""},
    {"pluginNoInterface", "%1 does not offer the payment processing interface"},
    {"pluginOk", "%1: IID %2, version %3, Qt %4 in its metadata"},
    {"pluginNoVersion", "not stated in its metadata"},
};

const QHash<QString, QString> &table()
{
    static const QHash<QString, QString> Texts = [] {
        QHash<QString, QString> texts;
        for (const Entry &entry : Entries)
            texts.insert(QString::fromLatin1(entry.key), QString::fromUtf8(entry.text));
        return texts;
    }();
    return Texts;
}

} // namespace

namespace CheckTexts {

QString text(const char *key)
{
    const QString name = QString::fromLatin1(key);
    return table().value(name, name);
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
