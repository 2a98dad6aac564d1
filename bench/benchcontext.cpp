#include "benchcontext.h"

#include "barehttp.h"
#include "hookedtransport.h"
#include "serviceprocess.h"

#include <QFile>
#include <QJsonArray>
#include <QPluginLoader>
#include <QUuid>
#include <basicpaymentprocessing.h>
#include <config.h>
#include <dbqueuebroker.h>
#include <document.h>
#include <gadgetserialize.h>
#include <log4qt/logmanager.h>
#include <mockfactory.h>
#include <sandbox/sandbox.h>
#include <session.h>
#include <singleton.h>
#include <testcerts.h>
#include <velmor/journal.h>

namespace {

const QString Login = QStringLiteral("merchant");
const QString Password = QStringLiteral("secret");

} // namespace

BenchContext::BenchContext(bool quick, ServiceProcess *services, ChildLauncher *launcher)
    : m_quick(quick), m_services(services), m_launcher(launcher), m_certs(new TestCerts)
{}

BenchContext::~BenchContext()
{
    if (m_loader) {
        m_loader->unload();
        MockFactory<RestClient>::creator = [] { return MockFactory<RestClient>::defaultCreator(); };
    }
    if (Singleton<Session>::instance)
        Singleton<Session>::instance->setDocument({});
}

bool BenchContext::setUp(QString *error)
{
    if (!m_workDir.isValid()) {
        *error = QStringLiteral("no work directory");
        return false;
    }
    // The logger is made here, with a name owned by this program: a plug-in that is unloaded
    // must not leave the host holding its strings.
    Log4Qt::LogManager::logger(QString::fromLatin1("velmor"));

    if (!m_certs->createCa(QStringLiteral("ca")) ||
        !m_certs->createServer(QStringLiteral("server"), QStringLiteral("ca"),
                               {QStringLiteral("127.0.0.1")})) {
        *error = m_certs->errorString();
        return false;
    }

    sandbox::Sandbox::Options options;
    options.login = Login;
    options.password = Password;
    options.basePath = QStringLiteral("/merchant");
    // One request per connection, for the waits that poll once a second: httplib wakes the
    // worker of an idle kept connection every 10 ms or so. It runs in the child process all
    // the same, since figure 4 counts this whole process.
    m_remotePolledSlowly = m_services->startService(options);
    // Both the plug-in and the bare libcurl baseline keep their connection, as against a real
    // service; a sandbox closing after each request would time handshakes, not the clients.
    options.keepAlive = true;
    m_plain.reset(new sandbox::Sandbox(options));
    m_remotePlain = m_services->startService(options);
    options.certificateFile = m_certs->certPath(QStringLiteral("server"));
    options.privateKeyFile = m_certs->keyPath(QStringLiteral("server"));
    m_secure.reset(new sandbox::Sandbox(options));
    m_remoteSecure = m_services->startService(options);
    if (!m_plain->start() || !m_secure->start()) {
        *error = QStringLiteral("the sandbox service did not start");
        return false;
    }

    if (!Singleton<Config>::instance)
        Singleton<Config>::instance = new Config;
    if (!Singleton<Session>::instance)
        Singleton<Session>::instance = new Session;
    delete Singleton<DBQueueBroker>::instance;
    Singleton<DBQueueBroker>::instance =
        new DBQueueBroker(workPath(QStringLiteral("queue.sqlite")));
    m_document = QSharedPointer<Document>::create();
    Singleton<Session>::instance->setDocument(m_document);
    Singleton<Config>::instance->setValue(QStringLiteral("Network:caFile"), caFile());
    configure(m_plain->baseUrl(), 0);
    setReceipt(3);

    m_tillConfig = workPath(QStringLiteral("till.ini"));
    QFile ini(m_tillConfig);
    if (!ini.open(QIODevice::WriteOnly) ||
        ini.write(QStringLiteral("[Velmor]\nurl=%1\nlogin=%2\npassword=%3\ntimeout=30\n")
                      .arg(m_plain->baseUrl(), Login, Password)
                      .toUtf8()) < 0) {
        *error = QStringLiteral("cannot write %1").arg(m_tillConfig);
        return false;
    }
    return true;
}

bool BenchContext::setUpPlugin(QString *error)
{
    // The create body the baselines send is the plug-in's own, taken from one sale.
    BasicPaymentProcessing *p = plugin();
    if (!p) {
        *error = m_loader->errorString();
        return false;
    }
    HookedTransport::setCompleter(m_plain.data());
    m_plain->clearRequests();
    const PaymentProcessingAnswer answer =
        p->payment(saleRequest(QLatin1String(sandbox::Sandbox::CodeApprove)));
    HookedTransport::setCompleter(nullptr);
    for (const sandbox::Sandbox::RecordedRequest &request : m_plain->requests()) {
        if (request.path.endsWith(QLatin1String("/create_offline"))) {
            m_createTemplate = request.body;
            m_templateId = answer.getRRN();
        }
    }
    m_plain->clearRequests();
    if (answer.getStatus() != PaymentProcessingAnswer::Success || m_createTemplate.isEmpty() ||
        !m_createTemplate.contains(m_templateId.toLatin1())) {
        *error = QStringLiteral("a sale through the plug-in did not complete: ") +
                 answer.getMessage().ru();
        return false;
    }
    return true;
}

int BenchContext::tries(int full, int least) const
{
    return m_quick ? std::max(least, full / 10) : full;
}

QString BenchContext::remoteUrl() const
{
    return m_services->baseUrl(m_remotePlain);
}

QString BenchContext::caFile() const
{
    return m_certs->certPath(QStringLiteral("ca"));
}

QString BenchContext::workPath(const QString &fileName) const
{
    return m_workDir.filePath(fileName);
}

QString BenchContext::journalPath() const
{
    return m_journalPath.isEmpty() ? workPath(QStringLiteral("journal.sqlite")) : m_journalPath;
}

QString BenchContext::tillConfigFile() const
{
    return m_tillConfig;
}

BasicPaymentProcessing *BenchContext::plugin()
{
    if (m_plugin)
        return m_plugin;
    m_loader.reset(new QPluginLoader(QStringLiteral(VELMOR_PLUGIN_PATH)));
    if (!m_loader->load())
        return nullptr;
    // The processing object takes its transport from the factory when it is created.
    MockFactory<RestClient>::creator = [] {
        return QSharedPointer<RestClient>(new HookedTransport);
    };
    m_plugin = qobject_cast<BasicPaymentProcessing *>(m_loader->instance());
    if (m_plugin)
        m_plugin->init();
    return m_plugin;
}

void BenchContext::configure(const QString &url, int intervalSeconds)
{
    Config *config = Singleton<Config>::instance;
    config->setValue(QStringLiteral("Velmor:url"), url);
    config->setValue(QStringLiteral("Velmor:login"), Login);
    config->setValue(QStringLiteral("Velmor:password"), Password);
    config->setValue(QStringLiteral("Velmor:timeout"), QStringLiteral("30"));
    config->setValue(QStringLiteral("Velmro:infoRequestInterval"),
                     QString::number(intervalSeconds));
    config->setValue(velmor::Journal::PathKey, journalPath());
    if (m_plugin)
        m_plugin->init();
}

void BenchContext::setJournalPath(const QString &path)
{
    m_journalPath = path;
    Singleton<Config>::instance->setValue(velmor::Journal::PathKey, journalPath());
    if (m_plugin)
        m_plugin->init();
}

void BenchContext::setReceipt(int positions)
{
    QVector<QSharedPointer<TGoodsItem>> items;
    items.reserve(positions);
    double total = 0.0;
    for (int i = 1; i <= positions; ++i) {
        auto item = QSharedPointer<TGoodsItem>::create();
        item->setPosnum(i);
        item->setArticul(QStringLiteral("ART-%1").arg(i, 6, 10, QLatin1Char('0')));
        item->setName(QStringLiteral("Товар номер %1").arg(i));
        item->setQuantity(1 + i % 3);
        item->setBquant(1 + i % 3);
        item->setSumb(100.0 * (1 + i % 3) + i % 7);
        total += item->getSumb();
        items.append(item);
    }
    m_document->setGoodsItems(items);
    m_document->setTotalSum(total);
    m_document->setPrepaidSum(0.0);
}

PaymentProcessingRequest BenchContext::saleRequest(const QString &code) const
{
    PaymentProcessingRequest request;
    request.setRequestType(PaymentProcessingRequest::Payment);
    request.setAmount(qRound(m_document->getTotalSum() * 100));
    request.setCardNumber(code);
    return request;
}

QByteArray BenchContext::createBody(const QString &id, const QString &code) const
{
    QByteArray body = m_createTemplate;
    body.replace(m_templateId.toLatin1(), id.toLatin1());
    body.replace(QByteArray(sandbox::Sandbox::CodeApprove), code.toUtf8());
    return body;
}

QList<QByteArray> BenchContext::headers(const QString &correlationId) const
{
    return {QByteArrayLiteral("Content-Type: application/json"),
            "Authorization: Basic " +
                QByteArray(Login.toLatin1() + ':' + Password.toLatin1()).toBase64(),
            "X-Correlation-ID: " + correlationId.toLatin1()};
}

QString BenchContext::newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QJsonObject BenchContext::queuedRefund(const QString &orderId) const
{
    PaymentProcessingRequest refund = saleRequest(QLatin1String(sandbox::Sandbox::CodeApprove));
    refund.setRequestType(PaymentProcessingRequest::Refund);
    refund.setRrn(orderId);
    QJsonArray items;
    for (int i = 1; i <= 3; ++i)
        items.append(QJsonObject{{QStringLiteral("id"), QString::number(i)},
                                 {QStringLiteral("refundedQuantity"), double(1 + i % 3)}});
    const QJsonObject payload{
        {QStringLiteral("order"),
         QJsonObject{{QStringLiteral("refund"),
                      QJsonObject{{QStringLiteral("id"), newId()},
                                  {QStringLiteral("initiator"), QStringLiteral("shop")},
                                  {QStringLiteral("items"), items}}}}}};
    return {{QStringLiteral("request"), gadgetserialize::g2j(refund, false)},
            {QStringLiteral("orderId"), orderId},
            {QStringLiteral("refund"), payload},
            {QStringLiteral("valutCode"), refund.getValutCode()}};
}

bool BenchContext::makeOrder(const QString &id, const QString &code, const QString &status)
{
    static BareHttp http;
    const QByteArray url = (m_plain->baseUrl() + QStringLiteral("/create_offline")).toLatin1();
    if (http.post(url, createBody(id, code), headers(id)) != 200)
        return false;
    if (!status.isEmpty())
        m_plain->setOrderStatus(id, status);
    return true;
}
