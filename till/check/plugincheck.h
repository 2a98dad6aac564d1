#pragma once

#include <QString>

namespace till {

class CheckReport;

// The plug-in part of `till check`: the library loads, says IID "Velmor", offers the payment
// processing interface, and what its metadata states. It is loaded but never initialised.
class PluginCheck
{
public:
    explicit PluginCheck(CheckReport &report);

    void check(const QString &path);
    // The version its metadata states; empty when it states none or did not load.
    QString version() const { return m_version; }

private:
    CheckReport &m_report;
    QString m_version;
};

} // namespace till
