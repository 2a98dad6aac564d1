#pragma once

#include "trivialinterface.h"

#include <QObject>

// A Qt plug-in that does nothing: what loading any plug-in costs at the least.
class TrivialPlugin : public QObject, public TrivialInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "VelmorBench.Trivial")
    Q_INTERFACES(TrivialInterface)

public:
    void init() override;

    int initCount() const { return m_initCount; }

private:
    int m_initCount = 0;
};
