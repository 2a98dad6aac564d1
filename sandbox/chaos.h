#pragma once

#include <QtGlobal>

namespace sandbox {

// Faults drawn at random per request, from a generator of the service's own. Each request
// to one of the four endpoints draws a fault with probability `percent` (uniformly among
// the faults that end an exchange on their own: every fault but NoAnswer), and with
// probability `downPerMille` per thousand the service goes down for `downMinMs` to
// `downMaxMs`: every request in that window is dropped before it is carried out. A fault
// set with setFault() on an endpoint wins over the draw.
struct Chaos
{
    quint32 seed = 1;
    int percent = 0;
    int downPerMille = 0;
    int downMinMs = 200;
    int downMaxMs = 800;
    // Delay's wait, past a client's timeout; Trickle's step between two bytes.
    int delayMs = 2500;
    int trickleStepMs = 30;
    // LateCreate: how late the create is carried out, drawn between the two.
    int lateCreateMinMs = 5000;
    int lateCreateMaxMs = 60000;
    // NotFoundLag: how long the order stays unknown, drawn between the two.
    int notFoundLagMinMs = 5000;
    int notFoundLagMaxMs = 40000;
};

} // namespace sandbox
