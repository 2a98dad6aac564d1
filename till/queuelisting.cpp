#include "queuelisting.h"

#include <till/check/jsonline.h>

#include <QDateTime>

#include <charconv>
#include <cstring>
#include <iterator>

namespace till {

namespace {

// The queue stores UTC with milliseconds, "2026-12-09T10:00:00.000Z", which is what the line
// shows; a text of that form, digits where digits go, needs no escaping.
bool isStoredUtcTime(std::string_view stored)
{
    const char *const form = "dddd-dd-ddTdd:dd:dd.dddZ";
    if (stored.size() != std::strlen(form))
        return false;
    for (size_t i = 0; i < stored.size(); ++i) {
        if (form[i] == 'd' ? stored[i] < '0' || stored[i] > '9' : stored[i] != form[i])
            return false;
    }
    return true;
}

void appendNumber(QByteArray &line, qint64 number)
{
    char digits[24];
    const auto written = std::to_chars(std::begin(digits), std::end(digits), number);
    line.append(digits, int(written.ptr - digits));
}

// A stored time not in the stored form, read as a time and written so, or empty when it is
// none.
QString rewrittenTime(std::string_view stored)
{
    const QDateTime time = QDateTime::fromString(
        QString::fromUtf8(stored.data(), int(stored.size())), Qt::ISODateWithMs);
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

} // namespace

Result<> QueueListing::write(DBQueueBroker &queue,
                             const std::function<void(const QByteArray &)> &deliver)
{
    // Each message is written as it is read, so that a queue that grew over a day offline is
    // listed in the memory of one message. Lines go out some 16 KiB at a time: a write and a
    // flush per line cost more than reading the queue, and a write as large as a pipe's
    // buffer (64 KiB) waits each time until the reader has emptied it.
    const int ChunkSize = 16 * 1024;
    QByteArray chunk;
    chunk.reserve(ChunkSize + 4096);
    const bool read =
        queue.readStoredMessages([&deliver, &chunk](const DBQueueBroker::StoredMessage &message) {
            // JsonLine's line, written in UTF-8 piece by piece from the row's own text: the
            // message is JSON already.
            chunk += "{\"id\": ";
            appendNumber(chunk, message.id);
            chunk += ", \"type\": ";
            JsonLine::appendQuoted(chunk, message.type);
            chunk += ", \"added\": ";
            if (isStoredUtcTime(message.added))
                JsonLine::appendQuoted(chunk, message.added);
            else
                chunk += JsonLine::quoted(rewrittenTime(message.added)).toUtf8();
            chunk += ", \"attempts\": ";
            appendNumber(chunk, message.attempts);
            chunk += ", \"message\": ";
            chunk.append(message.messageJson.data(), int(message.messageJson.size()));
            chunk += "}\n";
            if (chunk.size() >= ChunkSize) {
                deliver(chunk);
                // Keeps the reserved buffer, where clear() would give it back.
                chunk.resize(0);
            }
            return true;
        });
    if (!chunk.isEmpty())
        deliver(chunk);
    // An unreadable queue is not an empty one. The queue says why, through the host's interface.
    if (!read)
        return ResultError(QStringLiteral("queue %1: cannot be read: %2")
                               .arg(queue.databasePath(), queue.errorString()));
    return ResultOk;
}

} // namespace till
