#pragma once

#include <dbqueuebroker.h>
#include <result.h>

#include <QByteArray>

#include <functional>

namespace till {

// `till queue`'s listing: each stored message as one JSON line, {"id", "type", "added",
// "attempts", "message"}, written as it is read.
class QueueListing
{
public:
    // Hands the lines of `queue` to `deliver` some 16 KiB at a time, oldest first; fails when
    // the queue could not be read. What was read until then has been handed out.
    static Result<> write(DBQueueBroker &queue,
                          const std::function<void(const QByteArray &)> &deliver);
};

} // namespace till
