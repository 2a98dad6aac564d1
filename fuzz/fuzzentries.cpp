#include "fuzzentries.h"

#include "faketransport.h"
#include "receiptreader.h"
#include "velmor.h"

#include <answerdecoding.h>
#include <config.h>
#include <dbqueuebroker.h>
#include <document.h>
#include <interface.h>
#include <jsonutils.h>
#include <mockfactory.h>
#include <requestaddress.h>
#include <restclient.h>
#include <session.h>
#include <singleton.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QVariantMap>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

const QString BaseUrl = QStringLiteral("http://127.0.0.1:9/merchant/");

// An abort rather than a return code: libFuzzer keeps the input of a crash, and a replay in
// the test build stops at the first broken invariant with its name on stderr.
void check(bool condition, const char *what)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), int(size));
}

// All of the bytes: QString::fromUtf8 of a QByteArray stops at the first NUL in Qt 5.
QString utf8(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes.constData(), bytes.size());
}

// One per process, removed at exit: the queue database and the files the targets write.
QTemporaryDir &scratchDir()
{
    static QTemporaryDir dir;
    check(dir.isValid(), "a temporary directory can be made");
    return dir;
}

// The host services as a till sets them up, reset for every input so that no input depends
// on the ones before it. The queue lives in the scratch directory, so whatever an input
// queues stays on disk only until the process ends.
void prepareHost(const QString &baseUrl = BaseUrl)
{
    if (!Singleton<Config>::instance)
        Singleton<Config>::instance = new Config;
    Singleton<Config>::instance->clear();
    Singleton<Config>::instance->setValue(QStringLiteral("Velmor:url"), baseUrl);
    Singleton<Config>::instance->setValue(QStringLiteral("Velmro:infoRequestInterval"),
                                          QStringLiteral("0"));
    if (!Singleton<Session>::instance)
        Singleton<Session>::instance = new Session;
    Singleton<Session>::instance->setDocument({});
    Singleton<Session>::instance->setProgressView(nullptr);
    if (!Singleton<DBQueueBroker>::instance)
        Singleton<DBQueueBroker>::instance =
            new DBQueueBroker(scratchDir().filePath(QStringLiteral("queue.sqlite")));
}

// A client that talks to `transport` instead of the network.
std::unique_ptr<velmor::Interface> makeClient(const QSharedPointer<FakeTransport> &transport)
{
    const auto saved = MockFactory<RestClient>::creator;
    MockFactory<RestClient>::creator = [transport] { return transport.staticCast<RestClient>(); };
    auto client = std::make_unique<velmor::Interface>();
    MockFactory<RestClient>::creator = saved;
    return client;
}

class FuzzVelmor : public Velmor
{
public:
    explicit FuzzVelmor(const QSharedPointer<velmor::Interface> &client) : Velmor(client) {}
};

// The body as the real transport keeps it: only a JSON object survives.
QJsonObject parseBody(const QByteArray &body)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    return error.error == QJsonParseError::NoError && document.isObject() ? document.object()
                                                                          : QJsonObject();
}

RestResponse failedOrAnswered(int httpCode, int networkError, const QJsonObject &json)
{
    RestResponse response;
    response.httpCode = httpCode;
    response.networkError = networkError;
    if (networkError > 0)
        response.errorMessage =
            tr::Tr(QStringLiteral("restClientFailure"), QStringLiteral("Нет ответа"));
    response.json = json;
    return response;
}

// What the decoding must make of `response`, written out independently of it: only a 200
// answer or a service error says anything.
bool expectNoResponse(const RestResponse &response)
{
    if (response.json.contains(QStringLiteral("error")))
        return false;
    return response.networkError > 0 || response.httpCode != 200;
}

// Whether the answer names another order than `orderId` in "order"."id": the client takes it
// as no answer about the order it asked about.
bool namesAnotherOrder(const QJsonObject &json, const QString &orderId)
{
    const QJsonValue order = json.value(QStringLiteral("order"));
    if (!order.isObject())
        return false;
    const QJsonValue id = order.toObject().value(QStringLiteral("id"));
    return !id.isUndefined() && !(id.isString() && id.toString() == orderId);
}

// The fields the decoding sets, alike in both results.
bool sameDecoding(const velmor::RequestResult &a, const velmor::RequestResult &b)
{
    return a.httpCode == b.httpCode && a.id == b.id && a.success == b.success &&
           a.noResponse == b.noResponse && a.errorCode == b.errorCode && a.message == b.message &&
           a.json == b.json && a.orderStatus == b.orderStatus;
}

void checkDecoded(const velmor::RequestResult &result, const RestResponse &response,
                  const QString &currentId)
{
    check(result.httpCode == response.httpCode, "the HTTP status is passed through");
    check(result.id == currentId, "the result carries the client's current id");
    check(result.json == response.json, "the body is passed through");
    check(result.orderStatus >= velmor::Undefined && result.orderStatus <= velmor::Processed,
          "the order status is one of the known values");

    const bool serviceError = response.json.contains(QStringLiteral("error"));
    check(result.noResponse == expectNoResponse(response), "no answer exactly when none came");
    if (result.noResponse)
        check(!result.success, "no answer is never a success");
    if (serviceError) {
        check(!result.success, "a service error is never a success");
        const QJsonValue code =
            response.json.value(QStringLiteral("error")).toObject().value(QStringLiteral("code"));
        const QString codeText = code.isString() ? code.toString() : QString();
        check(result.errorCode == codeText, "the error code is the service's code text");
    } else {
        check(result.errorCode.isEmpty(), "an error code only comes with a service error");
    }
    if (result.orderStatus == velmor::Rejected) {
        check(!result.success, "a rejected order is never a success");
        check(result.message.key() == QLatin1String("velmorRejected"), "a rejected order says so");
    }
    if (!serviceError && !result.noResponse && result.orderStatus != velmor::Rejected)
        check(result.success, "any other answer is a success");
}

// The id must arrive as exactly one path segment between the base path and the operation,
// whatever characters it holds.
void checkOrderPath(const QUrl &url, const QString &orderId, const QString &operation)
{
    check(url.isValid(), "the request URL is valid");
    const QStringList segments = url.path(QUrl::FullyEncoded).split(QLatin1Char('/'));
    check(segments.size() == 4, "the id is one path segment");
    check(segments.at(0).isEmpty() && segments.at(1) == QLatin1String("merchant") &&
              segments.at(3) == operation,
          "the id sits between the base path and the operation");
    QByteArray decodedBytes = QByteArray::fromPercentEncoding(segments.at(2).toLatin1());
    if (orderId == QLatin1String(".") || orderId == QLatin1String(".."))
        decodedBytes = QByteArray::fromPercentEncoding(decodedBytes);
    const QString decoded = utf8(decodedBytes);
    // Text that UTF-8 cannot carry (an unpaired surrogate) goes out as its UTF-8 form.
    const QString expected = utf8(orderId.toUtf8());
    if (decoded != expected)
        std::fprintf(stderr, "id \"%s\" went out as %s\n", orderId.toUtf8().constData(),
                     url.toEncoded().constData());
    check(decoded == expected, "the segment decodes to the id");
}

QSharedPointer<Document> documentFrom(const QJsonArray &items)
{
    auto document = QSharedPointer<Document>::create();
    double total = 0.0;
    for (const QJsonValue &value : items) {
        const QJsonObject object = value.toObject();
        auto item = QSharedPointer<TGoodsItem>::create();
        item->setPosnum(object.value(QStringLiteral("posnum")).toInt());
        item->setArticul(object.value(QStringLiteral("articul")).toString());
        item->setName(object.value(QStringLiteral("name")).toString());
        item->setQuantity(object.value(QStringLiteral("quantity")).toDouble());
        item->setBquant(object.value(QStringLiteral("bquant")).toDouble());
        item->setSumb(object.value(QStringLiteral("sumb")).toDouble());
        total += item->getSumb();
        document->addGoodsItem(item);
    }
    document->setTotalSum(total);
    return document;
}

QJsonValue walk(const QJsonObject &object, const QStringList &path, int index)
{
    if (index == path.size())
        return QJsonValue();
    const QJsonValue value = object.value(path.at(index));
    if (value.isObject())
        return walk(value.toObject(), path, index + 1);
    return value.isUndefined() ? QJsonValue() : value;
}

QString writeScratchFile(const QString &prefix, const QByteArray &content)
{
    static int counter = 0;
    // A fresh name for every input: the settings reader caches parsed files by name, and a
    // rewritten file of the same size within the same instant could come back stale.
    const QString path = scratchDir().filePath(QStringLiteral("%1-%2").arg(prefix).arg(++counter));
    QFile file(path);
    check(file.open(QIODevice::WriteOnly) && file.write(content) == content.size(),
          "the scratch file can be written");
    return path;
}

} // namespace

// Leaks that are not ours, for the fuzzers and for the sanitized regression suite alike.
// Named loggers live as long as the process by design; the table that holds them is a
// function-local static, destroyed before the leak check, which then sees them as lost.
// Qt 5.15's JSON parser loses the earlier value of a duplicated key when that value is an
// array or an object. Qt is built without frame pointers, so with the fast unwinder such a
// stack ends inside Qt and cannot be told apart more narrowly than by the library; a leak
// of ours still shows, since its allocation starts in our own code.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:Log4Qt::LogManager::logger\n"
           "leak:libQt5Core.so\n";
}

int fuzzDecode(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const int httpCode = int(int16_t(uint16_t(data[0]) | uint16_t(data[1]) << 8));
    const uint8_t flags = data[2];
    const int operation = flags & 0x3;
    static const int networkErrors[] = {0, 1, 7, 28};
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
    prepareHost(textIsBaseUrl ? text : BaseUrl);
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
        const bool confirmed =
            !aboutAnotherOrder && response.httpCode == 200 &&
            response.json.value(QStringLiteral("status")).toString() == QLatin1String("CANCELLED");
        if (confirmed)
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
    check(exchanges.size() == 1 || exchanges.size() == 2, "one or two exchanges per replay");
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
    // The order's state, which only a 200 answer reports, decides. A closed order (and, before
    // its state is looked at, a fully refunded one) is done with one request; a state that is
    // neither closed nor ready for a cancellation or a refund leaves the message queued without
    // sending anything.
    const QString status = first.httpCode != 200 ? QString()
                                                 : first.json.value(QStringLiteral("order"))
                                                       .toObject()
                                                       .value(QStringLiteral("status"))
                                                       .toString()
                                                       .toLower();
    if (!unanswered) {
        if (status == QLatin1String("rejected") || status == QLatin1String("canceled"))
            check(done && exchanges.size() == 1, "a closed order needs nothing more");
        else if (status != QLatin1String("approved") && status != QLatin1String("completed"))
            check(exchanges.size() == 1, "an order in another state is left alone");
    }
    if (exchanges.size() == 2) {
        const FakeTransport::Exchange &second = exchanges.at(1);
        check(second.url.path().endsWith(
                  QLatin1String(status == QLatin1String("approved") ? "/cancel" : "/refund")),
              "an approved order is cancelled, a completed one refunded");
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
    check(Singleton<DBQueueBroker>::instance->pendingMessages().isEmpty(),
          "a replay never queues again");
    return 0;
}

int fuzzReceipt(const uint8_t *data, size_t size)
{
    const QByteArray input = bytes(data, size);
    ReceiptReader reader;
    const bool parsed = reader.parse(input, QStringLiteral("fuzz"));
    if (parsed) {
        check(reader.errorString().isEmpty(), "a read receipt has no error");
        const QSharedPointer<Document> document = reader.document();
        check(!document.isNull(), "a read receipt has a document");
        const double total = document->getTotalSum();
        const double prepaid = document->getPrepaidSum();
        check(std::isfinite(total) && total >= 0 && total <= ReceiptReader::MaxValue,
              "the total is a sane amount");
        check(std::isfinite(prepaid) && prepaid >= 0 && prepaid <= total,
              "the prepaid amount is within the total");
        for (const QSharedPointer<TGoodsItem> &item : document->getGoodsItems()) {
            check(!item.isNull() && item->getPosnum() >= 1, "every position has a number");
            for (const double value : {item->getQuantity(), item->getBquant(), item->getSumb()})
                check(std::isfinite(value) && value >= 0 && value <= ReceiptReader::MaxValue,
                      "every position holds sane values");
        }
    } else {
        check(reader.document().isNull(), "a refused receipt leaves no document");
        check(reader.errorString().startsWith(QLatin1String("fuzz: ")) &&
                  reader.errorString().size() > 6,
              "a refused receipt says why");
    }

    // The same bytes from a file must give the same verdict and the same reason.
    const QString path = writeScratchFile(QStringLiteral("receipt"), input);
    ReceiptReader fileReader;
    const bool read = fileReader.read(path);
    QFile::remove(path);
    check(read == parsed, "a file and the bytes in hand read alike");
    if (!parsed) {
        const QString reason = reader.errorString().mid(6);
        check(fileReader.errorString().endsWith(QLatin1String(": ") + reason),
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
