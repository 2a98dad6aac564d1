#include "journalkeeper.h"

#include <config.h>
#include <dbqueuebroker.h>
#include <log4qt/logger.h>
#include <velmor/hostservice.h>
#include <velmor/rounding.h>

namespace {

// How often a replay hands over what ended processes left, at most.
constexpr qint64 ResolveIntervalMs = 60 * 1000;

} // namespace

JournalKeeper::JournalKeeper(Log4Qt::Logger *logger)
    : m_logger(logger), m_journal(QSharedPointer<velmor::Journal>::create())
{}

bool JournalKeeper::open(const Config &config)
{
    const QString path = velmor::Journal::defaultPath(&config);
    if (!m_journal->isOpen() || m_journal->path() != path) {
        m_unusablePath.clear();
        if (!m_journal->open(path, velmor::Journal::OpenMode::ReadWrite,
                             velmor::Journal::retentionDays(&config))) {
            m_logger->error(QStringLiteral("Журнал операций %1 не открыт (%2): оплаты и возвраты "
                                           "Velmor не выполняются, пока он недоступен")
                                .arg(path, m_journal->errorString()));
            m_unusablePath = path;
            return false;
        }
        if (!m_journal->setAsidePath().isEmpty())
            m_logger->error(QStringLiteral("Журнал операций %1 поврежден, он сохранен как %2 и "
                                           "начат заново")
                                .arg(path, m_journal->setAsidePath()));
    }
    resolve(InitLimit);
    return true;
}

void JournalKeeper::resolveBeforeReplay()
{
    if (!m_leftSome && m_sinceResolved.isValid() && m_sinceResolved.elapsed() < ResolveIntervalMs)
        return;
    resolve(-1);
}

void JournalKeeper::resolve(int limit)
{
    if (!m_journal->isOpen())
        return;
    m_sinceResolved.start();
    DBQueueBroker *queue = velmor::hostService<DBQueueBroker>();
    const int handed = m_journal->resolve(
        [this, queue](const velmor::Journal::Entry &entry) {
            const bool sale = entry.kind == velmor::Journal::Kind::Sale;
            if (!queue->addMessage(QStringLiteral("processing"), entry.queueMessage, QString())) {
                m_logger->error(QStringLiteral("Операция по заказу %1 без ответа не передана в "
                                               "очередь: %2")
                                    .arg(entry.orderId, queue->errorString()));
                return false;
            }
            if (sale)
                m_logger->error(
                    QStringLiteral("Оплата по заказу %1 на сумму %2 осталась без ответа "
                                   "кассе: заказ будет отменен (или возвращен) через "
                                   "очередь")
                        .arg(entry.orderId, velmor::roublesText(entry.amountKopecks)));
            else
                m_logger->error(QStringLiteral("Возврат %1 по заказу %2 на сумму %3 остался без "
                                               "известного результата: он будет завершен через "
                                               "очередь")
                                    .arg(entry.refundId, entry.orderId,
                                         velmor::roublesText(entry.amountKopecks)));
            return true;
        },
        limit);
    // Each entry costs a durable queue write: past the limit, the rest stay open in the
    // journal for the next resolution.
    m_leftSome = limit >= 0 && handed >= limit;
    if (m_leftSome)
        m_logger->warn(QStringLiteral("Журнал операций %1: %2 операций без ответа переданы в "
                                      "очередь, остальные будут переданы перед ее обработкой")
                           .arg(m_journal->path())
                           .arg(handed));
    if (handed < 0)
        m_logger->error(QStringLiteral("Журнал операций %1 не прочитан: %2")
                            .arg(m_journal->path(), m_journal->errorString()));
}

void JournalKeeper::finished(const QString &orderId, const QString &refundId)
{
    if (m_journal->isOpen() && m_journal->markFinished(orderId, refundId) < 0)
        m_logger->error(QStringLiteral("Завершение операции по заказу %1 не отмечено в журнале "
                                       "%2: %3")
                            .arg(orderId, m_journal->path(), m_journal->errorString()));
}

void JournalKeeper::held(const QString &orderId, const QString &refundId,
                         velmor::Journal::Hold reason)
{
    if (m_journal->isOpen() && !m_journal->markHeld(orderId, refundId, reason))
        m_logger->error(QStringLiteral("Задержанное сообщение по заказу %1 не отмечено в журнале "
                                       "%2: %3")
                            .arg(orderId, m_journal->path(), m_journal->errorString()));
}

QSharedPointer<velmor::Journal> JournalKeeper::journal() const
{
    return m_journal->isOpen() ? m_journal : QSharedPointer<velmor::Journal>();
}
