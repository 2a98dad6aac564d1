#include "fuzzentries.h"

#include "faketransport.h"
#include "fuzzexpectations.h"
#include "fuzzharness.h"
#include <plugin/velmor.h>
#include <till/receiptreader.h>

#include <compactjson.h>
#include <config.h>
#include <dbqueuebroker.h>
#include <document.h>
#include <restclient.h>
#include <session.h>
#include <singleton.h>
#include <velmor/answerdecoding.h>
#include <velmor/interface.h>
#include <velmor/jsonutils.h>
#include <velmor/requestaddress.h>

#include <curl/curl.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QVariantMap>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace fuzzexpectations;
using namespace fuzzharness;

namespace {

class FuzzVelmor : public Velmor
{
public:
    explicit FuzzVelmor(const QSharedPointer<velmor::Interface> &client) : Velmor(client) {}
};

QJsonValue walk(const QJsonObject &object, const QStringList &path, int index)
{
    if (index == path.size())
        return QJsonValue();
    const QJsonValue value = object.value(path.at(index));
    if (value.isObject())
        return walk(value.toObject(), path, index + 1);
    return value.isUndefined() ? QJsonValue() : value;
}

} // namespace

int fuzzDecode(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const int httpCode = int(int16_t(uint16_t(data[0]) | uint16_t(data[1]) << 8));
    const uint8_t flags = data[2];
    const int operation = flags & 0x3;
    static const int networkErrors[] = {0, CURLE_UNSUPPORTED_PROTOCOL, CURLE_COULDNT_CONNECT,
                                        CURLE_OPERATION_TIMEDOUT};
    const int networkError = networkErrors[(flags >> 2) & 0x3];
    const bool timedOut = (flags & 0x10) != 0;
    const bool textIsBaseUrl = (flags & 0x20) != 0;

    const QByteArray rest = bytes(data + 3, size - 3);
    const int nul = rest.indexOf('\0');
    const QString text = nul < 0 ? QString() : utf8(rest.left(nul));
    const QByteArray body = nul < 0 ? rest : rest.mid(nul + 1);
    const QString orderId = textIsBaseUrl ? QStringLiteral("order-1") : text;

    // The decoding on its own, whatever the operation.
    const RestResponse response = failedOrAnswered(httpCode, networkError, parseBody(body));
    const velmor::RequestResult decoded =
        velmor::decodeResponse(response, orderId, velmor::orderStatusOf, nullptr);
    checkDecoded(decoded, response, orderId);

    // The same answer to an operation of the client.
    prepareHost(textIsBaseUrl ? text : baseUrl());
    const auto transport = QSharedPointer<FakeTransport>::create();
    transport->enqueue(response, timedOut);
    const std::unique_ptr<velmor::Interface> client = makeClient(transport);
    client->init();
    client->setCurrentId(orderId);

    velmor::RequestResult result;
    QString expectedOperation;
    bool post = true;
    switch (operation) {
    case 0: {
        QJsonObject requestBody;
        requestBody.insert(QStringLiteral("id"), orderId);
        result = client->sendPostRequest(QStringLiteral("/create_offline"), requestBody);
        break;
    }
    case 1:
        result = client->sendGetRequest(velmor::orderPath(orderId, QStringLiteral("info")));
        expectedOperation = QStringLiteral("info");
        post = false;
        break;
    case 2:
        result = client->info(orderId);
        expectedOperation = QStringLiteral("info");
        post = false;
        break;
    default:
        result = client->cancel(true);
        expectedOperation = QStringLiteral("cancel");
        break;
    }

    const bool aboutAnotherOrder = namesAnotherOrder(response.json, orderId);
    if (operation == 3) {
        if (confirmsCancellation(response, orderId))
            check(result.orderStatus == velmor::Canceled, "a confirmed cancellation");
        else
            check(!result.success, "an unconfirmed cancellation is no success");
        check(Singleton<DBQueueBroker>::instance->pendingMessages().isEmpty(),
              "a replayed cancellation is never queued again");
    } else if (operation == 2 && aboutAnotherOrder) {
        check(result.noResponse && !result.success && result.json.isEmpty() &&
                  result.orderStatus == velmor::Undefined,
              "an answer about another order is no answer");
    } else {
        check(sameDecoding(result, decoded), "the result is the answer decoded");
    }
    check(result.timedOut == (post && timedOut), "only a POST reports the transport's timeout");

    const QList<FakeTransport::Exchange> exchanges = transport->exchanges();
    check(exchanges.size() == 1, "one exchange per operation");
    const FakeTransport::Exchange &sent = exchanges.first();
    check(sent.method == QLatin1String(post ? "POST" : "GET"), "the method of the operation");
    check(sent.headers.size() == 3, "three headers");
    check(sent.headers.value(QStringLiteral("X-Correlation-ID")) == orderId,
          "the correlation id is the current id");
    if (post)
        check(!QJsonDocument::fromJson(sent.body).isNull(), "a POST body is JSON");
    if (!textIsBaseUrl) {
        if (expectedOperation.isEmpty())
            check(sent.url.path() == QLatin1String("/merchant/create_offline"),
                  "the creation path");
        else
            checkOrderPath(sent.url, orderId, expectedOperation);
    }
    return 0;
}

int fuzzExtract(const uint8_t *data, size_t size)
{
    const QByteArray input = bytes(data, size);
    const int newline = input.indexOf('\n');
    const QString pathLine = utf8(newline < 0 ? input : input.left(newline));
    const QByteArray json = newline < 0 ? QByteArray() : input.mid(newline + 1);
    const QStringList path = pathLine.isEmpty() ? QStringList() : pathLine.split(QLatin1Char('/'));
    const QJsonObject object = QJsonDocument::fromJson(json).object();

    const QJsonValue value = jsonutils::extract(object, path);
    check(!value.isObject(), "an object is never returned");
    check(!value.isUndefined(), "a missing key reads as null");
    check(value == walk(object, path, 0), "the walk stops at the first value that is no object");
    return 0;
}

int fuzzTrId(const uint8_t *data, size_t size)
{
    const QString code = utf8(bytes(data, size));
    const QString id = velmor::trId(code);
    check(id.startsWith(QLatin1String("velmor")), "the key starts with the prefix");
    check(!id.contains(QLatin1Char('_')), "no underscore is left");
    check((id.size() == 6) == (code.count(QLatin1Char('_')) == code.size()),
          "only underscores add nothing");

    bool ascii = true;
    for (const QChar c : code)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii) {
        QString expected = QStringLiteral("velmor");
        bool startOfPart = true;
        for (const QChar c : code) {
            if (c == QLatin1Char('_')) {
                startOfPart = true;
                continue;
            }
            expected += startOfPart ? c.toUpper() : c;
            startOfPart = false;
        }
        check(id == expected, "each part gets its first letter in upper case");
    }

    static const QStringList texts = {QStringLiteral("created"),   QStringLiteral("scoring"),
                                      QStringLiteral("rejected"),  QStringLiteral("approved"),
                                      QStringLiteral("canceled"),  QStringLiteral("refunded"),
                                      QStringLiteral("completed"), QStringLiteral("processed")};
    for (const QString &status : {code, code.toLower(), code.trimmed()}) {
        const velmor::OrderStatus value = velmor::orderStatusOf(status);
        check(value == velmor::OrderStatus(texts.indexOf(status) + 1),
              "a status text maps exactly onto its value");
    }
    return 0;
}

int fuzzReplay(const uint8_t *data, size_t size)
{
    QJsonObject message = QJsonDocument::fromJson(bytes(data, size)).object();
    const QJsonArray answers = message.take(QStringLiteral("answers")).toArray();
    const QJsonArray items = message.take(QStringLiteral("document")).toArray();
    const QVariantMap queued = message.toVariantMap();

    prepareHost();
    Singleton<Session>::instance->setDocument(documentFrom(items));
    const auto transport = QSharedPointer<FakeTransport>::create();
    QList<RestResponse> script;
    for (const QJsonValue &value : answers) {
        const QJsonObject answer = value.toObject();
        const QJsonValue body = answer.value(QStringLiteral("body"));
        script.append(failedOrAnswered(answer.value(QStringLiteral("status")).toInt(),
                                       answer.value(QStringLiteral("networkError")).toInt(),
                                       body.toObject()));
        transport->enqueue(script.last(), answer.value(QStringLiteral("timedOut")).toBool());
    }
    const QSharedPointer<velmor::Interface> client(makeClient(transport).release());
    client->init();
    FuzzVelmor processing(client);

    const bool done = processing.sendEnqueuedMessage(queued);

    const QString orderId = queued.value(QStringLiteral("orderId")).toString();
    const QList<FakeTransport::Exchange> exchanges = transport->exchanges();
    check(exchanges.size() >= 1 && exchanges.size() <= 3, "one to three exchanges per replay");
    const FakeTransport::Exchange &info = exchanges.first();
    check(info.method == QLatin1String("GET"), "the replay reads the order first");
    checkOrderPath(info.url, orderId, QStringLiteral("info"));
    check(info.headers.value(QStringLiteral("X-Correlation-ID")) == orderId,
          "the info request carries the queued order id");

    const RestResponse first = script.value(0, RestResponse());
    // An answer about another order says nothing about this one.
    const bool unanswered = expectNoResponse(first) || namesAnotherOrder(first.json, orderId);
    if (unanswered) {
        check(!done, "without an answer the message stays queued");
        check(exchanges.size() == 1, "without an answer nothing else is sent");
    }
    // The order's state, which only the service's answer reports, decides. A closed order (and,
    // before its state is looked at, a fully refunded one) is done with one request; a state that
    // is neither closed nor ready for a cancellation or a refund leaves the message queued without
    // sending anything.
    const QString status = first.httpCode != 200 ? QString()
                                                 : first.json.value(QStringLiteral("order"))
                                                       .toObject()
                                                       .value(QStringLiteral("status"))
                                                       .toString()
                                                       .toLower();
    // An order not paid yet is cancelled; a paid or refunded one gets the stored refund.
    const bool cancellable = status == QLatin1String("created") ||
                             status == QLatin1String("scoring") ||
                             status == QLatin1String("approved");
    const bool refundable =
        status == QLatin1String("completed") || status == QLatin1String("refunded");
    if (!unanswered) {
        if (status == QLatin1String("rejected") || status == QLatin1String("canceled"))
            check(done && exchanges.size() == 1, "a closed order needs nothing more");
        else if (!cancellable && !refundable)
            check(exchanges.size() == 1, "an order in another state is left alone");
    }
    if (exchanges.size() >= 2) {
        const FakeTransport::Exchange &second = exchanges.at(1);
        check(second.url.path().endsWith(QLatin1String(cancellable ? "/cancel" : "/refund")),
              "an order not paid yet is cancelled, a paid one refunded");
        check(second.method == QLatin1String("POST"), "the replay finishes with a POST");
        const QString operation = second.url.path().section(QLatin1Char('/'), -1);
        check(operation == QLatin1String("cancel") || operation == QLatin1String("refund"),
              "the replay cancels or refunds");
        checkOrderPath(second.url, orderId, operation);
        const QJsonObject stored =
            QJsonObject::fromVariantMap(queued.value(QStringLiteral("refund")).toMap());
        if (operation == QLatin1String("refund") && !stored.isEmpty())
            check(QJsonDocument::fromJson(second.body).object() == stored,
                  "the stored refund body goes out unchanged");
    }
    if (exchanges.size() == 3) {
        // Only the whole payment's cancellation refused as exceeding returns what is left.
        // The transport repeats its last scripted answer.
        const RestResponse refusal =
            script.isEmpty() ? RestResponse() : script.value(std::min(1, int(script.size()) - 1));
        check(isRefusal(refusal) &&
                  refusal.json.value(QStringLiteral("error"))
                          .toObject()
                          .value(QStringLiteral("code"))
                          .toString() == QLatin1String("exceeding_refunded_amount"),
              "what is left goes back only after the stored refund was refused as exceeding");
        const FakeTransport::Exchange &third = exchanges.at(2);
        check(third.method == QLatin1String("POST"), "what is left goes back in a POST");
        checkOrderPath(third.url, orderId, QStringLiteral("refund"));
    }
    check(Singleton<DBQueueBroker>::instance->pendingMessages().isEmpty(),
          "a replay never queues again");
    return 0;
}

int fuzzReceipt(const uint8_t *data, size_t size)
{
    const QByteArray input = bytes(data, size);
    const Result<QSharedPointer<Document>> parsed =
        till::ReceiptReader::parse(input, QStringLiteral("fuzz"));
    if (parsed) {
        check(parsed.error().isEmpty(), "a read receipt has no error");
        const QSharedPointer<Document> document = parsed.value();
        check(!document.isNull(), "a read receipt has a document");
        const double total = document->getTotalSum();
        const double prepaid = document->getPrepaidSum();
        check(std::isfinite(total) && total >= 0 && total <= till::ReceiptReader::MaxValue,
              "the total is a sane amount");
        check(std::isfinite(prepaid) && prepaid >= 0 && prepaid <= total,
              "the prepaid amount is within the total");
        for (const QSharedPointer<TGoodsItem> &item : document->getGoodsItems()) {
            check(!item.isNull() && item->getPosnum() >= 1, "every position has a number");
            for (const double value : {item->getQuantity(), item->getBquant(), item->getSumb()})
                check(std::isfinite(value) && value >= 0 && value <= till::ReceiptReader::MaxValue,
                      "every position holds sane values");
        }
    } else {
        check(parsed.error().startsWith(QLatin1String("fuzz: ")) && parsed.error().size() > 6,
              "a refused receipt says why");
    }

    // The same bytes from a file must give the same verdict and the same reason.
    const QString path = writeScratchFile(QStringLiteral("receipt"), input);
    const Result<QSharedPointer<Document>> read = till::ReceiptReader::read(path);
    QFile::remove(path);
    check(read.ok() == parsed.ok(), "a file and the bytes in hand read alike");
    if (!parsed) {
        const QString reason = parsed.error().mid(6);
        check(read.error().endsWith(QLatin1String(": ") + reason),
              "a file and the bytes in hand are refused for the same reason");
    }
    return 0;
}

int fuzzConfig(const uint8_t *data, size_t size)
{
    prepareHost();
    Config *config = Singleton<Config>::instance;
    config->clear();
    const QByteArray input = bytes(data, size);
    const QString path = writeScratchFile(QStringLiteral("config"), input);
    config->loadFile(path);

    // A file rewritten at once with other content of the same size is read anew: a reader
    // that caches by name, size and time would hand back the keys of the old content.
    if (!input.isEmpty()) {
        const QByteArray comment = '#' + QByteArray(input.size() - 1, ' ');
        QFile rewritten(path);
        check(rewritten.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                  rewritten.write(comment) == comment.size(),
              "the scratch file can be rewritten");
        rewritten.close();
        Config reread;
        reread.loadFile(path);
        for (const QString &key : {QStringLiteral("Velmor:url"), QStringLiteral("Velmor:timeout")})
            check(reread.getString(key, QStringLiteral("absent")) == QLatin1String("absent"),
                  "a rewritten file is read anew");
    }
    QFile::remove(path);

    // Whatever comes before, a section written after it is read. A NUL byte ends the text of
    // the file, so whatever follows one is not read at all.
    if (!input.contains('\0')) {
        const QString appended = writeScratchFile(QStringLiteral("config"),
                                                  input + "\n[FuzzCheck]\nkey = \"a;b,c\\\\d\"\n");
        Config extended;
        extended.loadFile(appended);
        QFile::remove(appended);
        check(extended.getString(QStringLiteral("FuzzCheck:key")) == QLatin1String("a;b,c\\d"),
              "a section after any content is read, its value as written");
    }

    static const QStringList keys = {QStringLiteral("Velmor:url"),
                                     QStringLiteral("Velmor:login"),
                                     QStringLiteral("Velmor:password"),
                                     QStringLiteral("Velmor:timeout"),
                                     QStringLiteral("Velmro:infoRequestInterval"),
                                     QStringLiteral("Queue:database")};
    for (const QString &key : keys) {
        const QString text = config->getString(key);
        check(!text.isNull(), "a missing key reads as empty text");
        bool ok = false;
        const int number = text.trimmed().toInt(&ok);
        check(config->getInt(key, -7) == (ok ? number : -7),
              "a number is read only when the whole value is one");
        const QString absent = QStringLiteral("\x01absent");
        const bool present = config->getString(key, absent) != absent;
        check(present || text.isEmpty(), "a missing key reads as empty text");
        check(config->getString(key, QStringLiteral("default")) ==
                  (present ? text : QStringLiteral("default")),
              "the default stands in only for a missing key");
    }

    // The client takes its connection settings from whatever was loaded.
    const auto transport = QSharedPointer<FakeTransport>::create();
    const std::unique_ptr<velmor::Interface> client = makeClient(transport);
    client->init();
    client->setCurrentId(QStringLiteral("order/1"));
    client->info(QStringLiteral("order/1"));
    check(transport->exchanges().size() == 1, "the configured client sends its request");
    return 0;
}

int fuzzCompactJson(const uint8_t *data, size_t size)
{
    const QByteArray text = bytes(data, size);
    const bool accepted = CompactJson::isObject(text.constData(), size_t(text.size()));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (accepted) {
        // Qt's parser refuses numbers out of a double's range, which JSON allows: each one it
        // names must be a number by the grammar, and the text a JSON object without them.
        QByteArray inRange = text;
        QJsonParseError rangeError = error;
        QJsonDocument parsed = document;
        for (int i = 0; i < text.size() && rangeError.error == QJsonParseError::IllegalNumber;
             ++i) {
            int start = rangeError.offset;
            while (start > 0 && inRange.at(start - 1) != '\0' &&
                   std::strchr("0123456789+-.eE", inRange.at(start - 1)))
                --start;
            const QByteArray number = inRange.mid(start, rangeError.offset - start);
            static const QRegularExpression grammar(
                QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]+)?([eE][+-]?[0-9]+)?$"));
            errno = 0;
            const double value = std::strtod(number.constData(), nullptr);
            check(grammar.match(QString::fromLatin1(number)).hasMatch() &&
                      (errno == ERANGE || std::isinf(value)),
                  "a number Qt refuses is out of range, not malformed");
            inRange.replace(start, number.size(), "0");
            parsed = QJsonDocument::fromJson(inRange, &rangeError);
        }
        check(rangeError.error == QJsonParseError::NoError && parsed.isObject(),
              "text taken as it is stored is a JSON object");
        check(!text.contains('\n') && !text.contains('\r'), "text taken as it is is one line");
    }
    // What the queue itself stores is always taken as it is.
    if (error.error == QJsonParseError::NoError && document.isObject()) {
        const QByteArray compact = document.toJson(QJsonDocument::Compact);
        check(CompactJson::isObject(compact.constData(), size_t(compact.size())),
              "a compact object as the queue writes it is taken as it is");
    }
    return 0;
}
