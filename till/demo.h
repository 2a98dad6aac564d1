#pragma once

#include <paymentprocessinganswer.h>
#include <result.h>

#include <QString>

namespace till {

// A walk through every operation against a Velmor service started inside the till, with a
// configuration and a queue in a temporary directory: what a new developer or a reviewer
// runs to see the plug-in work end to end.
class Demo
{
public:
    // `configFile`, when given, lends the demo its login, password and timeout.
    Demo(const QString &pluginFile, const QString &logFile, const QString &configFile = QString());

    // Whether every step gave its expected outcome; a failure when the demo could not be set
    // up.
    Result<bool> run();

private:
    void heading(const QString &title);
    void show(const PaymentProcessingAnswer &answer);
    void verdict(bool asExpected, const QString &expectation);

    QString m_pluginFile;
    QString m_logFile;
    QString m_configFile;
    int m_step = 0;
    int m_passed = 0;
};

} // namespace till
