#include "operationjournal.h"

#include "messages.h"
#include "rounding.h"

#include <log4qt/logger.h>

#include <QDateTime>

namespace velmor {

OperationJournal::OperationJournal(Log4Qt::Logger *logger) : m_logger(logger) {}

void OperationJournal::setJournal(const QSharedPointer<Journal> &journal)
{
    m_journal = journal;
}

bool OperationJournal::isKept() const
{
    return !m_journal.isNull();
}

void OperationJournal::start()
{
    m_entry = 0;
}

bool OperationJournal::recordSale(const QString &orderId, qint64 amountKopecks,
                                  const QJsonObject &reversal)
{
    m_entry = m_journal->recordSale(orderId, amountKopecks, reversal);
    if (!m_entry)
        m_logger->error(QStringLiteral("Заказ не создан: журнал операций %1 не записан: %2")
                            .arg(m_journal->path(), m_journal->errorString()));
    return m_entry != 0;
}

bool OperationJournal::recordRefund(const QString &orderId, const QString &refundId,
                                    qint64 amountKopecks, const QJsonObject &body,
                                    const QJsonObject &replay)
{
    m_entry = m_journal->recordRefund(orderId, refundId, amountKopecks, body, replay);
    if (!m_entry)
        m_logger->error(QStringLiteral("Возврат не выполнен: журнал операций %1 не записан: %2")
                            .arg(m_journal->path(), m_journal->errorString()));
    return m_entry != 0;
}

RequestResult OperationJournal::unwritten(const QString &id) const
{
    return notSent(messages::journalUnusable(m_journal->path()), id);
}

bool OperationJournal::refusesRefund(const QString &orderId, RequestResult *refusal) const
{
    Journal::Entry earlier;
    if (!m_journal || !m_journal->openRefundFor(orderId, &earlier))
        return false;
    m_logger->error(QStringLiteral("Возврат по заказу %1 не выполнен: результат возврата %2 от "
                                   "%3 еще неизвестен")
                        .arg(orderId, earlier.refundId, earlier.recorded.toString(Qt::ISODate)));
    *refusal = notSent(
        messages::earlierRefundOpen(
            orderId, earlier.recorded.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm")),
            roublesText(earlier.amountKopecks)),
        orderId);
    return true;
}

void OperationJournal::answer(Journal::Outcome outcome, int status, const QString &rrn,
                              const QJsonObject &note)
{
    if (!m_journal || !m_entry)
        return;
    if (!m_journal->markAnswered(m_entry, outcome, status, rrn, note))
        m_logger->error(QStringLiteral("Ответ операции не отмечен в журнале %1: %2")
                            .arg(m_journal->path(), m_journal->errorString()));
    m_entry = 0;
}

} // namespace velmor
