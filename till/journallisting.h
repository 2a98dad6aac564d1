#pragma once

#include <result.h>

#include <QByteArray>
#include <QDateTime>
#include <QString>

class Config;

namespace till {

// `till journal`'s listing: each entry of the plug-in's journal (the file `config` names, else
// the default) as one JSON line, {"id", "kind", "orderId", "refundId", "amount" (roubles),
// "state", "outcome", "recorded", "answered", "resolved" (UTC, empty when not reached)}, oldest
// first. The journal is opened read-only and changed in nothing.
class JournalListing
{
public:
    // The lines of the entries recorded since `since` (all when invalid), only those whose
    // outcome is not known when `openOnly`. A till without a journal yet lists nothing. Fails
    // when the journal cannot be read.
    static Result<QByteArray> read(const Config &config, const QDateTime &since, bool openOnly);
};

} // namespace till
