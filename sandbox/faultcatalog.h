#pragma once

#include "fault.h"

#include <QString>
#include <QVector>

namespace sandbox {

// What each fault does and what it is called: the one place that names the faults for the
// command line, the ledger and the chaos draw.
class FaultCatalog
{
public:
    // Whether the request takes effect at the service under `fault`.
    static bool takesEffect(Fault fault);
    // Whether `fault` means anything for requests to `endpoint`: a fault that does not (a
    // refund's own faults on an info, say) leaves the request alone, and chaos never draws it
    // there.
    static bool appliesTo(Fault fault, Endpoint endpoint);

    // A fault with its command-line and ledger name ("drop", "html502-after", ...) and what
    // it answers.
    struct Entry
    {
        const char *name;
        Fault fault;
        const char *meaning;
    };
    // Every fault but None, in the order of the enumeration.
    static const QVector<Entry> &entries();
    // "none" for Fault::None.
    static QString name(Fault fault);
};

} // namespace sandbox
