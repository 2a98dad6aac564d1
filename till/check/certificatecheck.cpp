#include "certificatecheck.h"

#include "checkkeys.h"
#include "checkreport.h"
#include "checktexts.h"
#include <config.h>

#include <QDateTime>
#include <QFile>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <memory>

namespace till {

namespace {

using CheckTexts::dateText;
using CheckTexts::text;
using Outcome = CheckResult::Outcome;

using BioPointer = std::unique_ptr<BIO, decltype(&BIO_free)>;
using CertificatePointer = std::unique_ptr<X509, decltype(&X509_free)>;

// OpenSSL keeps its reasons on a per-thread queue; the oldest is the cause, the rest its
// consequences. None of them holds a password.
QString takeOpenSslError()
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return QString();
    char buffer[256] = {};
    ERR_error_string_n(code, buffer, sizeof buffer);
    return QString::fromLatin1(buffer);
}

QDateTime asn1Time(const ASN1_TIME *time)
{
    tm parts{};
    if (!time || ASN1_TIME_to_tm(time, &parts) != 1)
        return QDateTime();
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                     QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
}

QString subjectText(X509 *certificate)
{
    const BioPointer bio(BIO_new(BIO_s_mem()), &BIO_free);
    if (!bio)
        return QString();
    X509_NAME_print_ex(bio.get(), X509_get_subject_name(certificate), 0, XN_FLAG_RFC2253);
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return QString::fromUtf8(data, int(size));
}

// What the check of a configured file says when none is configured, and when it cannot be
// opened (with its hint).
struct FileTexts
{
    const char *none;
    const char *unreadable;
    const char *hint;
};

// The file at `path` as OpenSSL reads it. Null when `path` is empty or the file cannot be
// opened, and then `check` is reported as such.
BioPointer openFile(CheckReport &report, const QString &check, const QString &path,
                    const char *mode, const FileTexts &texts, const QString &editFile)
{
    BioPointer bio(nullptr, &BIO_free);
    if (path.isEmpty()) {
        report.add(check, Outcome::Ok, text(texts.none));
        return bio;
    }
    bio.reset(BIO_new_file(QFile::encodeName(path).constData(), mode));
    if (!bio) {
        ERR_clear_error();
        report.add(check, Outcome::Fail, text(texts.unreadable).arg(path),
                   CheckTexts::inFile(text(texts.hint), editFile));
    }
    return bio;
}

void freeChain(STACK_OF(X509) * chain)
{
    sk_X509_pop_free(chain, X509_free);
}

} // namespace

CertificateCheck::CertificateCheck(const Config &config, const QString &editFile,
                                   CheckReport &report)
    : m_config(config), m_editFile(editFile), m_report(report)
{}

QString CertificateCheck::editHint(const char *key) const
{
    return CheckTexts::inFile(text(key), m_editFile);
}

void CertificateCheck::checkClientCertificate()
{
    const QString check = text("checkClientCertificate");
    const QString path = m_config.getString(velmor::clientkeys::CertificatePath);
    BioPointer bio =
        openFile(m_report, check, path, "rb",
                 {"certificateNone", "certificateUnreadable", "certificateHint"}, m_editFile);
    if (!bio)
        return;
    std::unique_ptr<PKCS12, decltype(&PKCS12_free)> p12(d2i_PKCS12_bio(bio.get(), nullptr),
                                                        &PKCS12_free);
    bio.reset();
    if (!p12) {
        m_report.add(check, Outcome::Fail,
                     text("certificateNotPkcs12").arg(path, takeOpenSslError()),
                     editHint("certificateHint"));
        return;
    }
    QByteArray password = m_config.getString(velmor::clientkeys::CertificatePassword).toUtf8();
    EVP_PKEY *rawKey = nullptr;
    X509 *rawCertificate = nullptr;
    STACK_OF(X509) *rawChain = nullptr;
    const bool opened =
        PKCS12_parse(p12.get(), password.constData(), &rawKey, &rawCertificate, &rawChain) == 1;
    // Only the certificate is looked at; the key and the chain go at once.
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(rawKey, &EVP_PKEY_free);
    std::unique_ptr<STACK_OF(X509), decltype(&freeChain)> chain(rawChain, &freeChain);
    CertificatePointer certificate(rawCertificate, &X509_free);
    password.fill('\0');
    p12.reset();
    const QString reason = opened ? QString() : takeOpenSslError();
    key.reset();
    chain.reset();
    if (!opened || !certificate) {
        m_report.add(check, Outcome::Fail,
                     opened ? text("certificateEmpty").arg(path)
                            : text("certificateWrongPassword").arg(path, reason),
                     editHint("certificatePasswordHint"));
        return;
    }
    const QString subject = subjectText(certificate.get());
    const QDateTime notBefore = asn1Time(X509_get0_notBefore(certificate.get()));
    const QDateTime notAfter = asn1Time(X509_get0_notAfter(certificate.get()));
    certificate.reset();

    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString found = text("certificateFound").arg(subject, dateText(notAfter));
    if (notAfter.isValid() && notAfter < now)
        m_report.add(check, Outcome::Fail, text("certificateExpired").arg(found),
                     text("certificateRenewHint"));
    else if (notBefore.isValid() && notBefore > now)
        m_report.add(check, Outcome::Fail,
                     text("certificateNotYetValid").arg(found, dateText(notBefore)),
                     text("clockHint"));
    else if (notAfter.isValid() && notAfter < now.addDays(ExpiryWarningDays))
        m_report.add(check, Outcome::Warn, text("certificateExpiresSoon").arg(found),
                     text("certificateRenewHint"));
    else
        m_report.add(check, Outcome::Ok, found);
}

void CertificateCheck::checkCaFile()
{
    const QString check = text("checkCaFile");
    const QString path = m_config.getString(CheckKeys::CaFile);
    const BioPointer bio = openFile(m_report, check, path, "r",
                                    {"caFileNone", "caFileUnreadable", "caFileHint"}, m_editFile);
    if (!bio)
        return;
    int count = 0;
    while (CertificatePointer(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr), &X509_free))
        ++count;
    // The loop ends on the first thing that is not a certificate, normally the file's end.
    ERR_clear_error();
    if (count == 0)
        m_report.add(check, Outcome::Fail, text("caFileEmpty").arg(path), editHint("caFileHint"));
    else
        m_report.add(check, Outcome::Ok, text("caFileOk").arg(path).arg(count));
}

} // namespace till
