#pragma once

#include "checkreport.h"
#include "checkresult.h"
#include "journalcheck.h"
#include "queuecheck.h"
#include "servicecheck.h"

#include <QString>
#include <QVector>

#include <memory>

class Config;

namespace till {

// `till check`: looks at everything a sale will need, in the order a sale needs it (the
// configuration, the client certificate and the extra CA file, the service's address,
// connection and TLS, the credentials, the queue, the journal, the plug-in), and says what is wrong
// before a buyer is waiting. It changes nothing: the one request it sends asks for the
// status of an order that does not exist, and the queue and the journal are opened read-only.
class SetupCheck
{
public:
    struct Settings
    {
        QString configFile;
        // Named by --config; otherwise configFile is the installed one, which may be absent.
        bool configGiven = true;
        QString queueFile;
        // The plug-in's journal (velmor::Journal::defaultPath of the configuration).
        QString journalFile;
        QString pluginFile;
        // The transport's messages in the till's language; Russian when empty.
        ServiceCheck::MessageText messageText;
    };

    using Sink = CheckReport::Sink;

    explicit SetupCheck(const Settings &settings);
    ~SetupCheck();

    SetupCheck(const SetupCheck &) = delete;
    SetupCheck &operator=(const SetupCheck &) = delete;

    // Runs every check in order and hands each result to `sink` as soon as it is known.
    QVector<CheckResult> run(const Sink &sink = Sink());

    static bool anyFailed(const QVector<CheckResult> &results);

    // What the last run found in the queue, the journal and the plug-in's metadata.
    const QueueCheck::Figures &queueFigures() const { return m_queueFigures; }
    const JournalCheck::Figures &journalFigures() const { return m_journalFigures; }
    QString pluginVersion() const { return m_pluginVersion; }

private:
    Settings m_settings;
    std::unique_ptr<Config> m_config;
    QueueCheck::Figures m_queueFigures;
    JournalCheck::Figures m_journalFigures;
    QString m_pluginVersion;
};

} // namespace till
