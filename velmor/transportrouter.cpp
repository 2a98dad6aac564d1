#include "transportrouter.h"

#include <mockfactory.h>
#include <restclient.h>

namespace velmor {

namespace {

QSharedPointer<RestClient> makeTransport()
{
    // An empty factory would throw out of the constructor and across the plug-in boundary.
    if (MockFactory<RestClient>::creator)
        return MockFactory<RestClient>::creator();
    return MockFactory<RestClient>::defaultCreator();
}

} // namespace

TransportRouter::TransportRouter(Log4Qt::Logger *logger) : m_own(makeTransport())
{
    m_settings.logger = logger;
}

TransportRouter::~TransportRouter() = default;

void TransportRouter::configure(const Settings &settings)
{
    m_settings = settings;
    apply(*m_own);
}

void TransportRouter::apply(RestClient &transport) const
{
    transport.setLogger(m_settings.logger);
    transport.setTimeout(m_settings.timeout);
    transport.setCertificatePath(m_settings.certificatePath);
    transport.setCertificatePassword(m_settings.certificatePassword);
}

TransportRouter::Exchange::Exchange(RestClient *transport, std::unique_lock<std::mutex> lock)
    : m_transport(transport), m_lock(std::move(lock))
{}

TransportRouter::Exchange TransportRouter::exchange() const
{
    RestClient *transport = current();
    // The spare transport is its thread's alone; the client's own is shared with the sale.
    std::unique_lock<std::mutex> lock(m_exchangeMutex, std::defer_lock);
    if (transport == m_own.data())
        lock.lock();
    return Exchange(transport, std::move(lock));
}

RestClient *TransportRouter::current() const
{
    // Only the thread that took the spare transport reads it, and it set it before it said so.
    return m_spareThread.load() == std::this_thread::get_id() ? m_spare.data() : m_own.data();
}

TransportRouter::Spare::Spare(TransportRouter &router)
    : m_router(router), m_use(router.m_spareMutex)
{
    m_router.m_spare = makeTransport();
    m_router.apply(*m_router.m_spare);
    m_router.m_spareThread.store(std::this_thread::get_id());
}

TransportRouter::Spare::~Spare()
{
    m_router.m_spareThread.store(std::thread::id());
    m_router.m_spare.reset();
}

} // namespace velmor
