#include "hostfixture.h"

#include <config.h>
#include <dbqueuebroker.h>
#include <log4qt/logger.h>
#include <log4qt/logmanager.h>
#include <session.h>
#include <singleton.h>

namespace {

// The tests' keys stand in for the plug-in's configuration file, as a till's --config does: a
// plug-in installed on the machine that runs them would otherwise hand them its own service
// and credentials from the host's pay-systems directory.
class FixtureConfig : public Config
{
public:
    void loadFile(const QString &fileName, const QString &extra) override
    {
        if (!fileName.startsWith(QStringLiteral(VELMOR_PAYSYSTEMS_DIR)))
            Config::loadFile(fileName, extra);
    }
};

} // namespace

void HostFixture::SetUp()
{
    ASSERT_TRUE(tempDir.isValid());
    if (!Singleton<Config>::instance)
        Singleton<Config>::instance = new FixtureConfig;
    Singleton<Config>::instance->clear();
    // Each test's journal of its own: one shared by the suites that run side by side would
    // hand a crashed one's open entries to another's queue.
    setConfig(QStringLiteral("Velmor:journal"), tempDir.filePath(QStringLiteral("journal.sqlite")));
    if (!Singleton<Session>::instance)
        Singleton<Session>::instance = new Session;
    document = QSharedPointer<Document>::create();
    Singleton<Session>::instance->setDocument(document);
    Singleton<Session>::instance->setProgressView(&progress);
    delete Singleton<DBQueueBroker>::instance;
    Singleton<DBQueueBroker>::instance = new DBQueueBroker(queuePath());
    Log4Qt::LogManager::logger(QStringLiteral("velmor"))->addAppender(&appender);
}

void HostFixture::TearDown()
{
    Log4Qt::LogManager::logger(QStringLiteral("velmor"))->removeAppender(&appender);
    Singleton<Session>::instance->setProgressView(nullptr);
    Singleton<Session>::instance->setDocument({});
    delete Singleton<DBQueueBroker>::instance;
    Singleton<DBQueueBroker>::instance = nullptr;
}

void HostFixture::addItem(int posnum, double quantity, double sum, double bquant)
{
    auto item = QSharedPointer<TGoodsItem>::create();
    item->setPosnum(posnum);
    item->setArticul(QStringLiteral("ART-%1").arg(posnum));
    item->setName(QStringLiteral("Товар %1").arg(posnum));
    item->setQuantity(quantity);
    item->setBquant(bquant < 0 ? quantity : bquant);
    item->setSumb(sum);
    document->addGoodsItem(item);
}

void HostFixture::setReceipt(double total, double prepaid)
{
    document->setTotalSum(total);
    document->setPrepaidSum(prepaid);
}

void HostFixture::removeReceipt()
{
    Singleton<Session>::instance->setDocument({});
}

void HostFixture::setConfig(const QString &key, const QString &value)
{
    Singleton<Config>::instance->setValue(key, value);
}

QString HostFixture::queuePath() const
{
    return tempDir.filePath(QStringLiteral("queue.sqlite"));
}

QStringList HostFixture::logLines() const
{
    QStringList lines;
    const auto events = appender.list();
    for (const Log4Qt::LoggingEvent &event : events)
        lines.append(event.level.toString() + QLatin1Char(' ') + event.message);
    return lines;
}

bool HostFixture::logContains(const QString &text) const
{
    const QStringList lines = logLines();
    for (const QString &line : lines) {
        if (line.contains(text))
            return true;
    }
    return false;
}
