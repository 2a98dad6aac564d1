#pragma once

#include <QtPlugin>

// The one operation of the baseline plug-in, so that its load is timed through the same steps
// as the payment plug-in's: load, instance, cast, init.
class TrivialInterface
{
public:
    virtual ~TrivialInterface() = default;
    virtual void init() = 0;
};

Q_DECLARE_INTERFACE(TrivialInterface, "VelmorBench.Trivial/1.0")
