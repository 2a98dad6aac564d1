#include "dbqueuebroker.h"

// Placeholder until the SQLite queue lands: nothing is stored.
class DBQueueBroker::Private
{
public:
    QString path;
};

DBQueueBroker::DBQueueBroker() : d(new Private) {}
DBQueueBroker::DBQueueBroker(const QString &databasePath) : d(new Private) { d->path = databasePath; }
DBQueueBroker::~DBQueueBroker() = default;
bool DBQueueBroker::addMessage(const QString &, const QJsonObject &, const QString &) { return false; }
QList<QueuedMessage> DBQueueBroker::pendingMessages() const { return {}; }
bool DBQueueBroker::recordAttempt(qint64) { return false; }
bool DBQueueBroker::removeMessage(qint64) { return false; }
QString DBQueueBroker::databasePath() const { return d->path; }
bool DBQueueBroker::isOpen() const { return false; }
QString DBQueueBroker::lastError() const { return QString(); }
