#pragma once

#include <csignal>

// Ignores the stop signals (SIGINT, SIGTERM, SIGHUP) for its lifetime and then puts their
// handlers back. A sale holds them from before its cancel button is armed until its answer is
// printed: a signal after the button is disarmed would otherwise end the till between the
// plug-in's answer and the line that reports it, and an approved sale's reference would be
// lost. The cancel button takes the signals over while it is armed.
class SignalHold
{
public:
    SignalHold();
    ~SignalHold();

    SignalHold(const SignalHold &) = delete;
    SignalHold &operator=(const SignalHold &) = delete;

private:
    static constexpr int Count = 3;
    struct sigaction m_previous[Count] = {};
    bool m_held[Count] = {};
};
