#pragma once

#include <config.h>

#include <QString>

namespace till {

// The till's configuration store. A file named on the till's command line is the plug-in's
// configuration: the file the plug-in loads at its init from the host's pay-systems directory
// is passed over then, since on a till where the plug-in is installed it holds the till's real
// service and credentials, which would otherwise win over the file the cashier named.
class TillConfig : public Config
{
public:
    // `ownFile` empty: every file is loaded, as the host's store does.
    explicit TillConfig(const QString &ownFile);

    void loadFile(const QString &fileName, const QString &extra = QString()) override;

private:
    QString m_ownFile;
};

} // namespace till
