#include "velmor.h"

#include "journalkeeper.h"
#include "orderstatusanswer.h"
#include "reconciliation.h"
#include "shiftreport.h"
#include "slip.h"

#include <config.h>
#include <log4qt/logger.h>
#include <log4qt/logmanager.h>
#include <velmor/answerdecoding.h>
#include <velmor/clientsettings.h>
#include <velmor/configfile.h>
#include <velmor/hostservice.h>
#include <velmor/interface.h>
#include <velmor/jsonutils.h>
#include <velmor/messages.h>
#include <velmor/requestbodies.h>
#include <velmor/rounding.h>

#include <QDateTime>
#include <QJsonObject>

namespace {

// The refund id under which the journal knows a queued message: empty for a sale's reversal
// (its request carries no RRN), else the stored refund's own.
QString journalRefundId(const QMap<QString, QVariant> &message)
{
    if (message.value(QStringLiteral("request"))
            .toMap()
            .value(QStringLiteral("rrn"))
            .toString()
            .isEmpty())
        return QString();
    return jsonutils::extract(
               QJsonObject::fromVariantMap(message.value(QStringLiteral("refund")).toMap()),
               {QStringLiteral("order"), QStringLiteral("refund"), QStringLiteral("id")})
        .toString();
}

} // namespace

Velmor::Velmor() : Velmor(QSharedPointer<velmor::Interface>(new velmor::Interface)) {}

Velmor::Velmor(const QSharedPointer<velmor::Interface> &client)
    : interface(client), logger(Log4Qt::LogManager::logger(QStringLiteral("velmor"), QString())),
      journalKeeper(std::make_unique<JournalKeeper>(logger))
{
    setUp();
}

Velmor::~Velmor() = default;

void Velmor::setUp()
{
    // One call for both legacy bits, as the host reads them from one word.
    const EPaymentProcessingOption::Options legacy =
        EPaymentProcessingOption::Flag0x10 | EPaymentProcessingOption::Flag0x4000;
    setOption(EPaymentProcessingOption::Option(quint32(legacy)), true);
    setOption(processing::Option(0), true);
    paymentTypes = {PaymentProcessingRequest::Payment, PaymentProcessingRequest::Refund};
    cancelTypes = {PaymentProcessingRequest::Payment};
    dialogImagePath = QStringLiteral(":/velmor/scan_token.png");
}

void Velmor::init()
{
    logger->info(QStringLiteral("Инициализация процессинга Velmor"));
    const QString fileName = velmor::ConfigFile::pathIn(paySystemsDirectory);
    const velmor::ConfigFile file(fileName);
    Config *config = velmor::hostService<Config>();
    // A host may stand a file of its own in for this one (the till's --config does): the
    // plug-in's keys are then there before this file is loaded, whatever it holds. Asked
    // before the load, since a host's loader takes a file in another encoding as it comes.
    const bool stoodIn = holdsAnyClientKey(*config);
    config->loadFile(fileName, QString());
    unusableConfigFile.clear();
    if (file.state() != velmor::ConfigFile::State::Usable && !stoodIn) {
        if (file.state() == velmor::ConfigFile::State::Missing) {
            logger->warn(
                QStringLiteral("Файл настроек %1 не найден, используются значения по умолчанию")
                    .arg(fileName));
        } else {
            // Sent anyway, the buyer's code would go to the default address without
            // credentials, and the cashier would read of a server that is down.
            logger->error(QStringLiteral("Файл настроек %1 не годится (%2): операции Velmor "
                                         "не выполняются, пока он не исправлен")
                              .arg(fileName, file.problemText()));
            unusableConfigFile = fileName;
        }
    }
    interface->init();
    // Sent nowhere: what a till that died left is handed to the queue, whose replay asks.
    if (unusableConfigFile.isEmpty())
        journalKeeper->open(*config);
    interface->setJournal(journalKeeper->journal());
}

PaymentProcessingAnswer Velmor::journalRefusal() const
{
    logger->error(QStringLiteral("Операция не выполнена: журнал операций %1 недоступен")
                      .arg(journalKeeper->unusablePath()));
    PaymentProcessingAnswer answer;
    answer.setSuccess(false);
    answer.setMessage(velmor::messages::journalUnusable(journalKeeper->unusablePath()));
    answer.setPaymentMethod(EPaymentMethod::Instalment);
    return answer;
}

void Velmor::journalAnswer(const PaymentProcessingAnswer &answer, int operation,
                           const QJsonObject &slip)
{
    using Outcome = velmor::Journal::Outcome;
    const QString key = answer.getMessage().key();
    Outcome outcome = Outcome::Failed;
    if (key == QLatin1String("velmorCancelQueued"))
        outcome = Outcome::Queued;
    else if (key == QLatin1String("velmorOutcomeUnknown"))
        outcome = Outcome::Unknown;
    else if (answer.getStatus() == PaymentProcessingAnswer::Success ||
             answer.getStatus() == PaymentProcessingAnswer::SuccessWithMessage)
        outcome = Outcome::Done;
    QJsonObject note{
        {QStringLiteral("operation"), Slip::operationName(Slip::Operation(operation))}};
    if (!slip.isEmpty())
        note.insert(QStringLiteral("slip"), slip);
    interface->journalAnswer(outcome, int(answer.getStatus()), answer.getRRN(), note);
}

bool Velmor::holdsAnyClientKey(const Config &config)
{
    const QStringList keys = velmor::clientkeys::all();
    for (const QString &key : keys) {
        if (!config.getString(key, QString()).isNull())
            return true;
    }
    return false;
}

PaymentProcessingAnswer Velmor::configurationRefusal() const
{
    logger->error(QStringLiteral("Операция не выполнена: файл настроек %1 не годится")
                      .arg(unusableConfigFile));
    PaymentProcessingAnswer answer;
    answer.setSuccess(false);
    answer.setMessage(velmor::messages::configUnusable(unusableConfigFile));
    answer.setPaymentMethod(EPaymentMethod::Instalment);
    return answer;
}

PaymentProcessingAnswer Velmor::payment(const PaymentProcessingRequest &request)
{
    if (!unusableConfigFile.isEmpty())
        return configurationRefusal();
    if (!journalKeeper->unusablePath().isEmpty())
        return journalRefusal();
    velmor::RequestResult result;
    if (request.getRequestType() == PaymentProcessingRequest::Payment) {
        logger->info(
            QStringLiteral("Оплата на сумму %1").arg(velmor::roublesText(request.getAmount())));
        result = interface->createOffline(request);
        // The sale is over: a cancel pressed from now on has no order to cancel, never this
        // one, which the host is about to receive.
        interface->setCurrentId(QString());
    } else {
        logger->info(QStringLiteral("Возврат по чеку продажи на сумму %1")
                         .arg(velmor::roublesText(request.getAmount())));
        result = interface->refund(request);
    }

    PaymentProcessingAnswer answer;
    if (result.orderStatus == velmor::Canceled)
        answer.setStatus(PaymentProcessingAnswer::OrderCanceled);
    else
        answer.setSuccess(result.success);
    answer.setMessage(result.message);
    answer.setRRN(result.id);
    answer.setPaymentMethod(EPaymentMethod::Instalment);
    const bool sale = request.getRequestType() == PaymentProcessingRequest::Payment;
    const int operation = int(sale ? Slip::Operation::Sale : Slip::Operation::Refund);
    const QJsonObject slip =
        addSlip(&answer, request, operation, sale ? result.id : request.getRrn());
    // A sale the host received is never reversed: marked before the host has the answer.
    journalAnswer(answer, operation, slip);
    return answer;
}

QJsonObject Velmor::addSlip(PaymentProcessingAnswer *answer,
                            const PaymentProcessingRequest &request, int operation,
                            const QString &orderId)
{
    const bool queued = answer->getMessage().key() == QLatin1String("velmorCancelQueued");
    if (answer->getStatus() != PaymentProcessingAnswer::Success && !queued)
        return QJsonObject();
    const QDateTime when =
        request.getDateTime().isValid() ? request.getDateTime() : QDateTime::currentDateTime();
    const Slip slip(Slip::Operation(operation), request.getAmount(), orderId, when, queued);
    answer->setPrintImages(slip.lines(request.getPrintWidth()));
    return slip.toJson(request.getPrintWidth());
}

PaymentProcessingAnswer Velmor::cancel(const PaymentProcessingRequest &request)
{
    logger->info(QStringLiteral("Отмена оплаты в чеке продажи"));
    if (!unusableConfigFile.isEmpty())
        return configurationRefusal();
    if (!journalKeeper->unusablePath().isEmpty())
        return journalRefusal();
    const velmor::RequestResult result = interface->refund(request);

    PaymentProcessingAnswer answer;
    if (!result.success) {
        answer.setSuccess(false);
        // An outcome the plug-in could not learn names its order, so that it can be checked.
        if (result.isOutcomeUnknown())
            answer.setRRN(result.id);
    } else if (result.message.isEmpty())
        answer.setSuccess(true);
    else
        answer.setStatus(PaymentProcessingAnswer::SuccessWithMessage);
    answer.setMessage(result.message);
    answer.setPaymentMethod(EPaymentMethod::Instalment);
    const int operation = int(Slip::Operation::Cancellation);
    journalAnswer(answer, operation, addSlip(&answer, request, operation, request.getRrn()));
    return answer;
}

bool Velmor::interruptPayment()
{
    logger->info(QStringLiteral("Отмена заказа"));
    if (!unusableConfigFile.isEmpty())
        return false;
    return interface->cancel(false).orderStatus == velmor::Canceled;
}

bool Velmor::sendEnqueuedMessage(const QMap<QString, QVariant> &message)
{
    logger->info(QStringLiteral("Отправка сообщения из очереди"));
    const QString orderId = message.value(QStringLiteral("orderId")).toString();
    logger->info(QStringLiteral("Заказ: %1").arg(orderId));
    if (!unusableConfigFile.isEmpty()) {
        configurationRefusal();
        return false;
    }

    journalKeeper->resolveBeforeReplay();
    if (!replayMessage(orderId, message))
        return false;
    // The sale's reversal, or the refund under its stored id, is settled: a cashier may refund
    // the order again.
    journalKeeper->finished(orderId, journalRefundId(message));
    return true;
}

bool Velmor::replayMessage(const QString &orderId, const QMap<QString, QVariant> &message)
{
    interface->setCurrentId(orderId);
    const velmor::RequestResult orderInfo = interface->info(orderId);
    if (velmor::isUnknownOrder(orderInfo))
        return finishUnknownOrder(orderId, message);
    // Only the service's own answer about the order decides; anything else is asked again.
    if (orderInfo.delivery != velmor::Delivery::Answered)
        return false;

    // Only a readable order of something proves a full refund; an error object or an order
    // of nothing would "match" at 0 = 0.
    if (orderInfo.success && interface->checkRefundAmount(orderInfo.json)) {
        logger->info(QStringLiteral("Возврат выполнен"));
        return true;
    }

    switch (velmor::OrderStatus(orderInfo.orderStatus)) {
    case velmor::Rejected:
    case velmor::Canceled:
        return true;
    case velmor::Created:
    case velmor::Scoring:
    case velmor::Approved:
        // Not paid yet: the cashier's cancellation is still wanted.
        return interface->cancel(true).success;
    case velmor::Completed:
    case velmor::Refunded:
        return finishRefund(orderId, message, orderInfo);
    case velmor::Undefined:
    case velmor::Processed:
        break;
    }
    logger->warn(QStringLiteral("Некорректный статус заказа"));
    return false;
}

bool Velmor::finishRefund(const QString &orderId, const QMap<QString, QVariant> &message,
                          const velmor::RequestResult &orderInfo)
{
    const QJsonObject payload =
        QJsonObject::fromVariantMap(message.value(QStringLiteral("refund")).toMap());
    const QString refundId =
        jsonutils::extract(
            payload, {QStringLiteral("order"), QStringLiteral("refund"), QStringLiteral("id")})
            .toString();
    // The service lists the stored refund: an earlier replay made it and lost the answer.
    if (velmor::listsRefund(orderInfo.json, refundId)) {
        logger->info(QStringLiteral("Возврат %1 по заказу %2 уже выполнен").arg(refundId, orderId));
        return true;
    }

    // A refunded order whose refunds do not add up to its amount may still lack this refund:
    // the stored body goes again under its stored id, which the service knows.
    const velmor::RequestResult result = interface->refund(orderId, payload);
    // A partial refund leaves the order completed; once the service has shown it, offering
    // it again would only repeat it.
    if (velmor::isRefundConfirmed(result, refundId))
        return true;
    if (result.delivery != velmor::Delivery::ServiceError ||
        result.errorCode != QLatin1String("exceeding_refunded_amount"))
        return false;

    const QVariantMap request = message.value(QStringLiteral("request")).toMap();
    if (request.value(QStringLiteral("requestType")).toInt() == PaymentProcessingRequest::Refund) {
        // A refund of some positions that more than what is left of them: other refunds came
        // first, and this one can never be carried out as stored. What is left is for the
        // cashier to see.
        logger->warn(QStringLiteral("Заказ %1: сохраненный возврат превышает остаток заказа, "
                                    "сообщение из очереди снято; проверьте заказ")
                         .arg(orderId));
        return true;
    }

    // The whole payment's cancellation after a part of it was refunded: what is left of each
    // position goes back, under the stored id, until the order is refunded in full.
    const QJsonObject remainder = velmor::remainderPayload(orderInfo.json, refundId);
    if (remainder.isEmpty()) {
        logger->error(QStringLiteral("Заказ %1: отмена оплаты превышает остаток заказа, а "
                                     "возвраты по позициям сервер не показал; сообщение "
                                     "оставлено в очереди, проверьте заказ")
                          .arg(orderId));
        journalKeeper->held(orderId, journalRefundId(message), velmor::Journal::Hold::Exceeding);
        return false;
    }
    logger->warn(
        QStringLiteral("Заказ %1: частично возвращен, возврат остатка позиций").arg(orderId));
    return velmor::isRefundConfirmed(interface->refund(orderId, remainder), refundId);
}

bool Velmor::finishUnknownOrder(const QString &orderId, const QMap<QString, QVariant> &message)
{
    const QVariantMap request = message.value(QStringLiteral("request")).toMap();
    if (!request.value(QStringLiteral("rrn")).toString().isEmpty()) {
        // A paid order's refund or cancellation: the service that took the payment must know
        // it, so this one is another service (a wrong address) or has lost it. Dropping the
        // refund would lose the buyer's money.
        logger->error(QStringLiteral("Заказ %1 не найден на сервере, хотя оплачен; возврат "
                                     "оставлен в очереди. Проверьте адрес сервера")
                          .arg(orderId));
        journalKeeper->held(orderId, journalRefundId(message), velmor::Journal::Hold::UnknownOrder);
        return false;
    }
    // The cancellation of a sale whose create never arrived: it may still arrive late (a slow
    // gateway), so the cancellation waits until the order has been unknown long enough.
    const QDateTime sold = request.value(QStringLiteral("dateTime")).toDateTime();
    const qint64 waited = sold.isValid() ? sold.secsTo(QDateTime::currentDateTime()) : 0;
    if (waited < interface->getUnknownOrderTimeout()) {
        logger->info(QStringLiteral("Заказ %1 пока не найден на сервере, отмена остается в "
                                    "очереди")
                         .arg(orderId));
        return false;
    }
    logger->warn(QStringLiteral("Заказ %1 не найден на сервере спустя %2 с. после продажи, "
                                "отмена из очереди снята")
                     .arg(orderId)
                     .arg(waited));
    return true;
}

PaymentProcessingAnswer Velmor::testConnection()
{
    logger->info(QStringLiteral("Проверка связи с сервером"));
    if (!unusableConfigFile.isEmpty())
        return configurationRefusal();
    const velmor::Reachability reach = interface->testConnection();
    PaymentProcessingAnswer answer;
    answer.setSuccess(reach.isReachable());
    answer.setMessage(reach.message);
    answer.setPaymentMethod(EPaymentMethod::Instalment);
    return answer;
}

PaymentProcessingAnswer Velmor::getPaymentByQRCodeStatus(const QString &orderId)
{
    logger->info(QStringLiteral("Запрос состояния заказа %1").arg(orderId));
    if (!unusableConfigFile.isEmpty()) {
        PaymentProcessingAnswer refusal = configurationRefusal();
        refusal.setRRN(orderId);
        return refusal;
    }
    // The order asked about is the correlation id, as in the replay's status requests.
    interface->setCurrentId(orderId);
    return orderStatusAnswer(orderId, interface->info(orderId));
}

PaymentProcessingAnswer
Velmor::fromJournal(const std::function<PaymentProcessingAnswer(velmor::Journal &)> &read) const
{
    if (!unusableConfigFile.isEmpty())
        return configurationRefusal();
    const QSharedPointer<velmor::Journal> journal = journalKeeper->journal();
    return journal ? read(*journal) : journalRefusal();
}

PaymentProcessingAnswer Velmor::checkTotals(int terminal)
{
    logger->info(QStringLiteral("Сверка итогов за смену"));
    PaymentProcessingAnswer answer = fromJournal(
        [this](velmor::Journal &journal) { return Reconciliation::ofToday(journal, *interface); });
    logger->info(QStringLiteral("Сверка итогов: %1").arg(answer.getMessage().ru()));
    answer.setTerminalNumber(terminal);
    return answer;
}

PaymentProcessingAnswer Velmor::printReport()
{
    return fromJournal([](velmor::Journal &journal) { return ShiftReport::answer(journal, true); });
}

PaymentProcessingAnswer Velmor::printShortReport()
{
    return fromJournal(
        [](velmor::Journal &journal) { return ShiftReport::answer(journal, false); });
}

PaymentProcessingAnswer Velmor::printCopy(int terminal)
{
    PaymentProcessingAnswer answer = fromJournal(&ShiftReport::copyAnswer);
    answer.setTerminalNumber(terminal);
    return answer;
}

QMap<EPaymentProcessingInfo::MessageType, tr::Tr> Velmor::getMessageInfo() const
{
    QMap<EPaymentProcessingInfo::MessageType, tr::Tr> messages;
    messages.insert(
        EPaymentProcessingInfo::ScanTitle,
        tr::Tr(QStringLiteral("velmorScanTitle"), QStringLiteral("Ввод QR-кода VELMOR")));
    messages.insert(
        EPaymentProcessingInfo::ScanMessage,
        tr::Tr(QStringLiteral("velmorScanMessage"), QStringLiteral("Отсканируйте QR-код VELMOR")));
    return messages;
}
