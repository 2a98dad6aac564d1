#pragma once

#include <QString>
#include <QUrl>

class Config;

namespace Log4Qt {
class Logger;
}

namespace velmor {

// The client's connection settings as the configuration gives them, made safe to use.
struct ClientSettings
{
    // The value of the Basic authorization header.
    QString credentials;
    QUrl url;
    int timeout = 60;
    int infoRequestInterval = 10;
    QString certificatePath;
    QString certificatePassword;
};

// Reads the plug-in's keys from `config`, a missing key giving its default. The URL, the
// timeout and the interval go to `logger` (not null) as they are taken; secrets never do.
ClientSettings readClientSettings(const Config &config, Log4Qt::Logger *logger);

} // namespace velmor
