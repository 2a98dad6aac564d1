#include "fuzzharness.h"

#include "faketransport.h"

#include <config.h>
#include <dbqueuebroker.h>
#include <mockfactory.h>
#include <restclient.h>
#include <session.h>
#include <singleton.h>
#include <tgoodsitem.h>

#include <QFile>
#include <QJsonObject>
#include <QJsonValue>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace fuzzharness {

namespace {

// One per process, removed at exit: the queue database and the files the targets write.
QTemporaryDir &scratchDir()
{
    static QTemporaryDir dir;
    check(dir.isValid(), "a temporary directory can be made");
    return dir;
}

} // namespace

QString baseUrl()
{
    return QStringLiteral("http://127.0.0.1:9/merchant/");
}

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

QString utf8(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes.constData(), bytes.size());
}

void prepareHost(const QString &baseUrl)
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

std::unique_ptr<velmor::Interface> makeClient(const QSharedPointer<FakeTransport> &transport)
{
    const auto saved = MockFactory<RestClient>::creator;
    MockFactory<RestClient>::creator = [transport] { return transport.staticCast<RestClient>(); };
    auto client = std::make_unique<velmor::Interface>();
    MockFactory<RestClient>::creator = saved;
    return client;
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

} // namespace fuzzharness

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
