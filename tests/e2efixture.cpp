#include "e2efixture.h"

#include <config.h>
#include <dbqueuebroker.h>
#include <mockfactory.h>
#include <restclient.h>
#include <singleton.h>

QPluginLoader &E2EFixture::loader()
{
    static QPluginLoader instance(QStringLiteral(VELMOR_PLUGIN_PATH));
    return instance;
}

sandbox::Sandbox::Options E2EFixture::sandboxOptions() const
{
    sandbox::Sandbox::Options options;
    options.basePath = QStringLiteral("/merchant");
    options.pollsPerState = 1;
    options.slowCreateMs = 2500;
    return options;
}

void E2EFixture::SetUp()
{
    HostFixture::SetUp();
    sandbox = std::make_unique<sandbox::Sandbox>(sandboxOptions());
    ASSERT_TRUE(sandbox->start());
    setConfig(QStringLiteral("Velmor:url"), sandbox->baseUrl());
    setConfig(QStringLiteral("Velmor:login"), QStringLiteral("merchant"));
    setConfig(QStringLiteral("Velmor:password"), QStringLiteral("secret"));
    setConfig(QStringLiteral("Velmor:timeout"), QStringLiteral("1"));
    setConfig(QStringLiteral("Velmro:infoRequestInterval"), QStringLiteral("0"));
    ASSERT_TRUE(loader().load()) << qPrintable(loader().errorString());
    restartPlugin();
}

void E2EFixture::TearDown()
{
    delete loader().instance();
    m_processing = nullptr;
    if (sandbox)
        sandbox->stop();
    sandbox.reset();
    HostFixture::TearDown();
}

void E2EFixture::restartPlugin(const std::function<QSharedPointer<RestClient>()> &creator)
{
    delete loader().instance();
    MockFactory<RestClient>::creator =
        creator ? creator : [] { return MockFactory<RestClient>::defaultCreator(); };
    m_processing = qobject_cast<BasicPaymentProcessing *>(loader().instance());
    MockFactory<RestClient>::creator = [] { return MockFactory<RestClient>::defaultCreator(); };
    ASSERT_NE(m_processing, nullptr);
    m_processing->init();
}

PaymentProcessingRequest E2EFixture::saleRequest(int kopecks, const char *code) const
{
    PaymentProcessingRequest request;
    request.setRequestType(PaymentProcessingRequest::Payment);
    request.setAmount(kopecks);
    request.setCardNumber(QString::fromUtf8(code));
    request.setValutCode(643);
    return request;
}

PaymentProcessingRequest E2EFixture::refundRequest(const QString &orderId, int kopecks,
                                                   int type) const
{
    PaymentProcessingRequest request;
    request.setRequestType(type);
    request.setAmount(kopecks);
    request.setRrn(orderId);
    request.setValutCode(643);
    return request;
}

QString E2EFixture::completedSale(int kopecks)
{
    // Paid at the first poll: the tests that need a paid order do not wait through the states
    // before it, which the sale's own tests walk.
    const PaymentProcessingAnswer answer =
        processing()->payment(saleRequest(kopecks, sandbox::Sandbox::CodePaid));
    EXPECT_EQ(answer.getStatus(), PaymentProcessingAnswer::Success)
        << qPrintable(answer.getMessage().ru());
    return answer.getRRN();
}

int E2EFixture::replayQueue()
{
    int finished = 0;
    DBQueueBroker *broker = Singleton<DBQueueBroker>::instance;
    const QList<QueuedMessage> messages = broker->pendingMessages();
    for (const QueuedMessage &message : messages) {
        if (processing()->sendEnqueuedMessage(message.message.toVariantMap())) {
            broker->removeMessage(message.id);
            ++finished;
        } else {
            broker->recordAttempt(message.id);
        }
    }
    return finished;
}
