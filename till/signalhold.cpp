#include "signalhold.h"

#include "cancelbutton.h"

static_assert(CancelButton::StopSignalCount == 3, "SignalHold holds every stop signal");

SignalHold::SignalHold()
{
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (int i = 0; i < Count; ++i)
        m_held[i] = sigaction(CancelButton::StopSignals[i], &ignore, &m_previous[i]) == 0;
}

SignalHold::~SignalHold()
{
    for (int i = 0; i < Count; ++i) {
        if (m_held[i])
            sigaction(CancelButton::StopSignals[i], &m_previous[i], nullptr);
    }
}
