<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<!-- The texts `till check` prints, by id (lrelease -idbased): the code passes the id to
     CheckTexts::text(), the source is the English text, and so is the translation, word
     for word. "%1", "%2", ... are filled in by the caller. -->
<context>
    <name></name>
    <message id="checkConfigFile">
        <source>configuration file</source>
        <translation>configuration file</translation>
    </message>
    <message id="checkClientCertificate">
        <source>client certificate</source>
        <translation>client certificate</translation>
    </message>
    <message id="checkCaFile">
        <source>CA file</source>
        <translation>CA file</translation>
    </message>
    <message id="checkProxy">
        <source>proxy</source>
        <translation>proxy</translation>
    </message>
    <message id="checkHostName">
        <source>host name</source>
        <translation>host name</translation>
    </message>
    <message id="checkConnection">
        <source>connection</source>
        <translation>connection</translation>
    </message>
    <message id="checkTls">
        <source>TLS</source>
        <translation>TLS</translation>
    </message>
    <message id="checkCredentials">
        <source>credentials</source>
        <translation>credentials</translation>
    </message>
    <message id="checkQueue">
        <source>queue</source>
        <translation>queue</translation>
    </message>
    <message id="checkJournal">
        <source>journal</source>
        <translation>journal</translation>
    </message>
    <message id="checkPlugin">
        <source>plug-in</source>
        <translation>plug-in</translation>
    </message>
    <message id="skipNoConfig">
        <source>skipped because the configuration file cannot be read</source>
        <translation>skipped because the configuration file cannot be read</translation>
    </message>
    <message id="skipNoUrl">
        <source>skipped because Velmor:url is not usable</source>
        <translation>skipped because Velmor:url is not usable</translation>
    </message>
    <message id="skipNoAddress">
        <source>skipped because the host name does not resolve</source>
        <translation>skipped because the host name does not resolve</translation>
    </message>
    <message id="skipNoConnection">
        <source>skipped because no connection opened</source>
        <translation>skipped because no connection opened</translation>
    </message>
    <message id="skipNoService">
        <source>skipped because the service cannot be reached</source>
        <translation>skipped because the service cannot be reached</translation>
    </message>
    <message id="valueDefault">
        <source>%1 (default)</source>
        <translation>%1 (default)</translation>
    </message>
    <message id="seconds">
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message id="dateUnknown">
        <source>unknown</source>
        <translation>unknown</translation>
    </message>
    <message id="ageSeconds">
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message id="ageMinutes">
        <source>%1 min</source>
        <translation>%1 min</translation>
    </message>
    <message id="ageHours">
        <source>%1 h</source>
        <translation>%1 h</translation>
    </message>
    <message id="ageDays">
        <source>%1 days</source>
        <translation>%1 days</translation>
    </message>
    <message id="secretPlaceholder">
        <source>still the shipped placeholder: not set up yet</source>
        <translation>still the shipped placeholder: not set up yet</translation>
    </message>
    <message id="secretPlaceholderHint">
        <source>write the login and password the merchant service gave this till.</source>
        <translation>write the login and password the merchant service gave this till.</translation>
    </message>
    <message id="secretSet">
        <source>set</source>
        <translation>set</translation>
    </message>
    <message id="secretEmpty">
        <source>empty</source>
        <translation>empty</translation>
    </message>
    <message id="notWholeNumber">
        <source>not a whole number, so the plug-in uses %1 s</source>
        <translation>not a whole number, so the plug-in uses %1 s</translation>
    </message>
    <message id="hintEditFile">
        <source>%1 The file to edit: %2.</source>
        <translation>%1 The file to edit: %2.</translation>
    </message>
    <message id="configNone">
        <source>%1: no such file, so the plug-in sees only the defaults</source>
        <translation>%1: no such file, so the plug-in sees only the defaults</translation>
    </message>
    <message id="configNoneHint">
        <source>install the plug-in's configuration as %1, or name a file with --config.</source>
        <translation>install the plug-in's configuration as %1, or name a file with --config.</translation>
    </message>
    <message id="configMissing">
        <source>%1: no such file</source>
        <translation>%1: no such file</translation>
    </message>
    <message id="configMissingHint">
        <source>check the path given with --config.</source>
        <translation>check the path given with --config.</translation>
    </message>
    <message id="configUnreadable">
        <source>%1 cannot be read: %2</source>
        <translation>%1 cannot be read: %2</translation>
    </message>
    <message id="configNotAFile">
        <source>not a regular file</source>
        <translation>not a regular file</translation>
    </message>
    <message id="configUnreadableHint">
        <source>make the file readable for the till's user.</source>
        <translation>make the file readable for the till's user.</translation>
    </message>
    <message id="configInstalledUnreadableHint">
        <source>add the till's user to group velmor (adduser USER velmor, then log in again); %1 is readable by root and group velmor only.</source>
        <translation>add the till's user to group velmor (adduser USER velmor, then log in again); %1 is readable by root and group velmor only.</translation>
    </message>
    <message id="configNotUtf8">
        <source>%1 is not UTF-8, so the plug-in refuses every operation</source>
        <translation>%1 is not UTF-8, so the plug-in refuses every operation</translation>
    </message>
    <message id="configNotUtf8Hint">
        <source>save %1 as UTF-8.</source>
        <translation>save %1 as UTF-8.</translation>
    </message>
    <message id="configNoSection">
        <source>%1 holds no [section], so the plug-in refuses every operation</source>
        <translation>%1 holds no [section], so the plug-in refuses every operation</translation>
    </message>
    <message id="configNoSectionHint">
        <source>write the keys in %1 under [Velmor] and [Velmro], as the shipped velmor.ini does.</source>
        <translation>write the keys in %1 under [Velmor] and [Velmro], as the shipped velmor.ini does.</translation>
    </message>
    <message id="configOk">
        <source>%1: readable, UTF-8, %2 keys</source>
        <translation>%1: readable, UTF-8, %2 keys</translation>
    </message>
    <message id="configWorldReadable">
        <source>%1: readable, UTF-8, %2 keys, but every user of this machine may read it (mode %3) and it holds a password</source>
        <translation>%1: readable, UTF-8, %2 keys, but every user of this machine may read it (mode %3) and it holds a password</translation>
    </message>
    <message id="configWorldReadableHint">
        <source>take the other users' rights away: chmod o-rwx %1 (an installed till: chown root:velmor %1 too).</source>
        <translation>take the other users' rights away: chmod o-rwx %1 (an installed till: chown root:velmor %1 too).</translation>
    </message>
    <message id="urlUnparsable">
        <source>(not a URL)</source>
        <translation>(not a URL)</translation>
    </message>
    <message id="urlScheme">
        <source>%1 is not an http or https URL</source>
        <translation>%1 is not an http or https URL</translation>
    </message>
    <message id="urlNoHost">
        <source>%1 names no host</source>
        <translation>%1 names no host</translation>
    </message>
    <message id="urlPlaceholder">
        <source>%1 is a placeholder that never resolves: not set up yet</source>
        <translation>%1 is a placeholder that never resolves: not set up yet</translation>
    </message>
    <message id="urlPlaceholderHint">
        <source>write the service's address the merchant service gave this till.</source>
        <translation>write the service's address the merchant service gave this till.</translation>
    </message>
    <message id="urlHint">
        <source>write the service's address as https://host[:port][/path].</source>
        <translation>write the service's address as https://host[:port][/path].</translation>
    </message>
    <message id="urlUserInfo">
        <source>%1 carries a user name or password inside the URL</source>
        <translation>%1 carries a user name or password inside the URL</translation>
    </message>
    <message id="urlUserInfoHint">
        <source>remove them from the URL and keep the credentials in Velmor:login and Velmor:password.</source>
        <translation>remove them from the URL and keep the credentials in Velmor:login and Velmor:password.</translation>
    </message>
    <message id="urlPlainHttp">
        <source>%1 is plain http to %2, which is not this machine: the credentials travel in clear text</source>
        <translation>%1 is plain http to %2, which is not this machine: the credentials travel in clear text</translation>
    </message>
    <message id="urlPlainHttpHint">
        <source>use the service's https address.</source>
        <translation>use the service's https address.</translation>
    </message>
    <message id="timeoutNotPositive">
        <source>%1 is taken as %2 s</source>
        <translation>%1 is taken as %2 s</translation>
    </message>
    <message id="timeoutShort">
        <source>%1 s is under 5 s, too short for a slow network</source>
        <translation>%1 s is under 5 s, too short for a slow network</translation>
    </message>
    <message id="timeoutLong">
        <source>%1 s is over 300 s, so a dead service keeps the cashier waiting</source>
        <translation>%1 s is over 300 s, so a dead service keeps the cashier waiting</translation>
    </message>
    <message id="timeoutHint">
        <source>write a timeout between 5 and 300 seconds.</source>
        <translation>write a timeout between 5 and 300 seconds.</translation>
    </message>
    <message id="intervalMisplaced">
        <source>%1, because infoRequestInterval stands under [Velmor], which nothing reads</source>
        <translation>%1, because infoRequestInterval stands under [Velmor], which nothing reads</translation>
    </message>
    <message id="intervalMisplacedHint">
        <source>move infoRequestInterval to a section spelt [Velmro], as the plug-in reads it from there.</source>
        <translation>move infoRequestInterval to a section spelt [Velmro], as the plug-in reads it from there.</translation>
    </message>
    <message id="intervalShort">
        <source>%1 s is under 1 s and is taken as 1 s</source>
        <translation>%1 s is under 1 s and is taken as 1 s</translation>
    </message>
    <message id="intervalHint">
        <source>write an interval of 1 second or more.</source>
        <translation>write an interval of 1 second or more.</translation>
    </message>
    <message id="certificateNone">
        <source>none configured</source>
        <translation>none configured</translation>
    </message>
    <message id="keyUnread">
        <source>nothing reads this key</source>
        <translation>nothing reads this key</translation>
    </message>
    <message id="keyUnreadHint">
        <source>check its spelling: [Velmor] holds url, login, password, timeout, certificatePath and certificatePassword, [Velmro] holds infoRequestInterval.</source>
        <translation>check its spelling: [Velmor] holds url, login, password, timeout, certificatePath and certificatePassword, [Velmro] holds infoRequestInterval.</translation>
    </message>
    <message id="keySectionCaseHint">
        <source>section names are case-sensitive: write [Velmor] or [Velmro] exactly so.</source>
        <translation>section names are case-sensitive: write [Velmor] or [Velmro] exactly so.</translation>
    </message>
    <message id="certificateUnreadable">
        <source>%1 cannot be read</source>
        <translation>%1 cannot be read</translation>
    </message>
    <message id="certificateHint">
        <source>point Velmor:certificatePath at the till's PKCS#12 file.</source>
        <translation>point Velmor:certificatePath at the till's PKCS#12 file.</translation>
    </message>
    <message id="certificateNotPkcs12">
        <source>%1 is not a PKCS#12 file (%2)</source>
        <translation>%1 is not a PKCS#12 file (%2)</translation>
    </message>
    <message id="certificateWrongPassword">
        <source>%1 does not open with the configured password (%2)</source>
        <translation>%1 does not open with the configured password (%2)</translation>
    </message>
    <message id="certificateEmpty">
        <source>%1 holds no certificate</source>
        <translation>%1 holds no certificate</translation>
    </message>
    <message id="certificatePasswordHint">
        <source>check Velmor:certificatePassword and that the file is the till's certificate.</source>
        <translation>check Velmor:certificatePassword and that the file is the till's certificate.</translation>
    </message>
    <message id="certificateFound">
        <source>%1, valid until %2</source>
        <translation>%1, valid until %2</translation>
    </message>
    <message id="certificateExpired">
        <source>%1: expired</source>
        <translation>%1: expired</translation>
    </message>
    <message id="certificateNotYetValid">
        <source>%1: not valid before %2</source>
        <translation>%1: not valid before %2</translation>
    </message>
    <message id="certificateExpiresSoon">
        <source>%1: expires within 30 days</source>
        <translation>%1: expires within 30 days</translation>
    </message>
    <message id="certificateRenewHint">
        <source>ask for a new client certificate for this till.</source>
        <translation>ask for a new client certificate for this till.</translation>
    </message>
    <message id="clockHint">
        <source>check the till's date and time.</source>
        <translation>check the till's date and time.</translation>
    </message>
    <message id="caFileNone">
        <source>none configured, the system's authorities only</source>
        <translation>none configured, the system's authorities only</translation>
    </message>
    <message id="caFileUnreadable">
        <source>%1 cannot be read</source>
        <translation>%1 cannot be read</translation>
    </message>
    <message id="caFileEmpty">
        <source>%1 holds no PEM certificate</source>
        <translation>%1 holds no PEM certificate</translation>
    </message>
    <message id="caFileHint">
        <source>point Network:caFile at a readable PEM file with the service's CA.</source>
        <translation>point Network:caFile at a readable PEM file with the service's CA.</translation>
    </message>
    <message id="caFileOk">
        <source>%1: %2 certificates</source>
        <translation>%1: %2 certificates</translation>
    </message>
    <message id="proxyNone">
        <source>none, the till connects to the service directly</source>
        <translation>none, the till connects to the service directly</translation>
    </message>
    <message id="proxyFound">
        <source>%1, from %2</source>
        <translation>%1, from %2</translation>
    </message>
    <message id="proxyPlainHttp">
        <source>%1: the login and password cross it in clear text over plain http</source>
        <translation>%1: the login and password cross it in clear text over plain http</translation>
    </message>
    <message id="proxyPlainHttpHint">
        <source>use the service's https address, or unset %1 for the till.</source>
        <translation>use the service's https address, or unset %1 for the till.</translation>
    </message>
    <message id="hostFail">
        <source>%1 does not resolve: %2</source>
        <translation>%1 does not resolve: %2</translation>
    </message>
    <message id="hostHint">
        <source>check the host name in Velmor:url and the till's DNS settings.</source>
        <translation>check the host name in Velmor:url and the till's DNS settings.</translation>
    </message>
    <message id="hostOk">
        <source>%1 resolves to %2</source>
        <translation>%1 resolves to %2</translation>
    </message>
    <message id="hostAddress">
        <source>%1 is an IP address, nothing to resolve</source>
        <translation>%1 is an IP address, nothing to resolve</translation>
    </message>
    <message id="connectFail">
        <source>%1 port %2: %3</source>
        <translation>%1 port %2: %3</translation>
    </message>
    <message id="connectHint">
        <source>check that the service runs there and that no firewall blocks the port.</source>
        <translation>check that the service runs there and that no firewall blocks the port.</translation>
    </message>
    <message id="notTlsHint">
        <source>that port answers plain http: write http:// for it, or the service's https port.</source>
        <translation>that port answers plain http: write http:// for it, or the service's https port.</translation>
    </message>
    <message id="connectionCutHint">
        <source>the service closed the connection after the TLS handshake, as a service does that refuses the till's client certificate: check Velmor:certificatePath.</source>
        <translation>the service closed the connection after the TLS handshake, as a service does that refuses the till's client certificate: check Velmor:certificatePath.</translation>
    </message>
    <message id="clientCertificateRefusedHint">
        <source>the service refused the till's client certificate: point Velmor:certificatePath at the certificate the service issued for this till.</source>
        <translation>the service refused the till's client certificate: point Velmor:certificatePath at the certificate the service issued for this till.</translation>
    </message>
    <message id="connectOk">
        <source>%1 port %2 opened in %3 ms</source>
        <translation>%1 port %2 opened in %3 ms</translation>
    </message>
    <message id="tlsPlain">
        <source>not used, plain http</source>
        <translation>not used, plain http</translation>
    </message>
    <message id="tlsFail">
        <source>handshake failed: %1</source>
        <translation>handshake failed: %1</translation>
    </message>
    <message id="tlsHint">
        <source>check the server's certificate, the till's date and time, and Network:caFile for a private CA.</source>
        <translation>check the server's certificate, the till's date and time, and Network:caFile for a private CA.</translation>
    </message>
    <message id="tlsOk">
        <source>handshake verified in %1 ms; server certificate %2, valid until %3</source>
        <translation>handshake verified in %1 ms; server certificate %2, valid until %3</translation>
    </message>
    <message id="tlsExpiresSoon">
        <source>%1: expires within 30 days</source>
        <translation>%1: expires within 30 days</translation>
    </message>
    <message id="tlsRenewHint">
        <source>ask the service's operator to renew the server certificate.</source>
        <translation>ask the service's operator to renew the server certificate.</translation>
    </message>
    <message id="credentialsTransport">
        <source>the status request failed: %1</source>
        <translation>the status request failed: %1</translation>
    </message>
    <message id="credentialsOk">
        <source>accepted: the service answered HTTP %1 order_not_found for a made-up order</source>
        <translation>accepted: the service answered HTTP %1 order_not_found for a made-up order</translation>
    </message>
    <message id="credentialsRefused">
        <source>refused with HTTP %1: %2</source>
        <translation>refused with HTTP %1: %2</translation>
    </message>
    <message id="credentialsHint">
        <source>check Velmor:login and Velmor:password.</source>
        <translation>check Velmor:login and Velmor:password.</translation>
    </message>
    <message id="credentialsUnexpected">
        <source>the service answered HTTP %1: %2</source>
        <translation>the service answered HTTP %1: %2</translation>
    </message>
    <message id="credentialsUnexpectedHint">
        <source>check that Velmor:url, path included, is the service's base address.</source>
        <translation>check that Velmor:url, path included, is the service's base address.</translation>
    </message>
    <message id="credentialsNoJson">
        <source>no JSON body</source>
        <translation>no JSON body</translation>
    </message>
    <message id="queueNone">
        <source>no queue yet at %1</source>
        <translation>no queue yet at %1</translation>
    </message>
    <message id="queueNoDirectory">
        <source>directory %1 does not exist</source>
        <translation>directory %1 does not exist</translation>
    </message>
    <message id="queueNotWritable">
        <source>the till's user cannot write %1</source>
        <translation>the till's user cannot write %1</translation>
    </message>
    <message id="queueUnwritable">
        <source>%1: %2, so a cancellation or refund without answer cannot be queued</source>
        <translation>%1: %2, so a cancellation or refund without answer cannot be queued</translation>
    </message>
    <message id="queueUnwritableHint">
        <source>make %1 writable for the till's user (an installed till: add the user to group velmor).</source>
        <translation>make %1 writable for the till's user (an installed till: add the user to group velmor).</translation>
    </message>
    <message id="queueOpen">
        <source>cannot be opened</source>
        <translation>cannot be opened</translation>
    </message>
    <message id="queueIntegrity">
        <source>cannot be checked</source>
        <translation>cannot be checked</translation>
    </message>
    <message id="queueRead">
        <source>holds no readable queue</source>
        <translation>holds no readable queue</translation>
    </message>
    <message id="queueFail">
        <source>%1 %2: %3</source>
        <translation>%1 %2: %3</translation>
    </message>
    <message id="queueCorrupt">
        <source>%1 is damaged: %2</source>
        <translation>%1 is damaged: %2</translation>
    </message>
    <message id="queueFailHint">
        <source>keep a copy of the file for the service desk and ask them before you remove it.</source>
        <translation>keep a copy of the file for the service desk and ask them before you remove it.</translation>
    </message>
    <message id="queueEmpty">
        <source>%1: no message waiting</source>
        <translation>%1: no message waiting</translation>
    </message>
    <message id="queuePending">
        <source>%1: %2 messages waiting, the oldest for %3</source>
        <translation>%1: %2 messages waiting, the oldest for %3</translation>
    </message>
    <message id="queueOldHint">
        <source>run `till replay` while the service can be reached.</source>
        <translation>run `till replay` while the service can be reached.</translation>
    </message>
    <message id="journalNone">
        <source>no journal yet at %1</source>
        <translation>no journal yet at %1</translation>
    </message>
    <message id="journalUnwritable">
        <source>%1: %2, so the plug-in refuses every sale and refund</source>
        <translation>%1: %2, so the plug-in refuses every sale and refund</translation>
    </message>
    <message id="journalFail">
        <source>%1</source>
        <translation>%1</translation>
    </message>
    <message id="journalFailHint">
        <source>the plug-in sets a damaged journal aside at its next start and begins a new one; keep the file for the service desk if it cannot be read otherwise.</source>
        <translation>the plug-in sets a damaged journal aside at its next start and begins a new one; keep the file for the service desk if it cannot be read otherwise.</translation>
    </message>
    <message id="journalFine">
        <source>%1: %2 entries without an outcome, %3 reversals in the queue</source>
        <translation>%1: %2 entries without an outcome, %3 reversals in the queue</translation>
    </message>
    <message id="journalDead">
        <source>%1: %2 entries left without an outcome by a till or host that ended, the oldest from %3: %4</source>
        <translation>%1: %2 entries left without an outcome by a till or host that ended, the oldest from %3: %4</translation>
    </message>
    <message id="journalDeadHint">
        <source>start the till or host again (any operation): the plug-in hands them to the queue, then run `till replay` while the service can be reached.</source>
        <translation>start the till or host again (any operation): the plug-in hands them to the queue, then run `till replay` while the service can be reached.</translation>
    </message>
    <message id="pluginMissing">
        <source>%1: no such file</source>
        <translation>%1: no such file</translation>
    </message>
    <message id="pluginHint">
        <source>name the plug-in library with --plugin.</source>
        <translation>name the plug-in library with --plugin.</translation>
    </message>
    <message id="pluginNotLoaded">
        <source>%1 cannot be loaded: %2</source>
        <translation>%1 cannot be loaded: %2</translation>
    </message>
    <message id="pluginWrongIid">
        <source>%1 is a plug-in with IID "%2", not "Velmor"</source>
        <translation>%1 is a plug-in with IID "%2", not "Velmor"</translation>
    </message>
    <message id="pluginNoInterface">
        <source>%1 does not offer the payment processing interface</source>
        <translation>%1 does not offer the payment processing interface</translation>
    </message>
    <message id="pluginOk">
        <source>%1: IID %2, version %3, Qt %4 in its metadata</source>
        <translation>%1: IID %2, version %3, Qt %4 in its metadata</translation>
    </message>
    <message id="pluginNoVersion">
        <source>not stated in its metadata</source>
        <translation>not stated in its metadata</translation>
    </message>
</context>
</TS>
