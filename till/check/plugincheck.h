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

private:
    CheckReport &m_report;
};

} // namespace till
