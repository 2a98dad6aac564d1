#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

// A message waiting in the persistent queue, as the host side lists it.
struct QueuedMessage
{
    qint64 id = 0;
    QString type;
    QJsonObject message;
    QString extra;
    QDateTime added;
    int attempts = 0;
    QDateTime lastAttempt;
};
