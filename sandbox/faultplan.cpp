#include "faultplan.h"

#include "faultcatalog.h"

#include <algorithm>
#include <vector>

namespace sandbox {

namespace {

// How a request fared under chaos in the ledger's "faults" when the service was down.
const QString DownName = QStringLiteral("down");

} // namespace

void FaultPlan::set(Endpoint endpoint, const Setting &setting)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults[static_cast<size_t>(endpoint)] = setting;
}

void FaultPlan::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.fill(Setting{});
}

void FaultPlan::setChaos(const Chaos &chaos)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_chaos = chaos;
    m_chaosOn = chaos.percent > 0 || chaos.downPerMille > 0;
    m_generator.seed(chaos.seed);
    m_downUntil = {};
}

void FaultPlan::heal()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_chaosOn = false;
    m_downUntil = {};
    m_lagUntil.clear();
}

FaultPlan::Setting FaultPlan::faultFor(Endpoint endpoint, QString *name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Setting set = m_faults[static_cast<size_t>(endpoint)];
    if (!FaultCatalog::appliesTo(set.fault, endpoint))
        set = Setting{};
    if (set.fault != Fault::None || !m_chaosOn) {
        *name = FaultCatalog::name(set.fault);
        return set;
    }
    const auto now = Clock::now();
    if (now < m_downUntil) {
        *name = DownName;
        return Setting{Fault::Drop, 0};
    }
    if (m_chaos.downPerMille > 0 &&
        std::uniform_int_distribution<int>(0, 999)(m_generator) < m_chaos.downPerMille) {
        const int ms = std::uniform_int_distribution<int>(
            m_chaos.downMinMs, std::max(m_chaos.downMinMs, m_chaos.downMaxMs))(m_generator);
        m_downUntil = now + std::chrono::milliseconds(ms);
        ++m_drawn[DownName];
        *name = DownName;
        return Setting{Fault::Drop, 0};
    }
    if (std::uniform_int_distribution<int>(0, 99)(m_generator) >= m_chaos.percent) {
        *name = FaultCatalog::name(Fault::None);
        return Setting{};
    }
    // Every fault that ends an exchange by itself and means something for the endpoint:
    // NoAnswer would hold a request until the client gives up, which Delay already stands for.
    static const std::array<std::vector<Fault>, 4> Drawable = [] {
        std::array<std::vector<Fault>, 4> faults;
        for (const Endpoint each :
             {Endpoint::Create, Endpoint::Info, Endpoint::Cancel, Endpoint::Refund}) {
            for (const FaultCatalog::Entry &entry : FaultCatalog::entries()) {
                if (entry.fault != Fault::NoAnswer && FaultCatalog::appliesTo(entry.fault, each))
                    faults[static_cast<size_t>(each)].push_back(entry.fault);
            }
        }
        return faults;
    }();
    const std::vector<Fault> &drawable = Drawable[static_cast<size_t>(endpoint)];
    const Fault drawn = drawable.at(static_cast<size_t>(
        std::uniform_int_distribution<int>(0, int(drawable.size()) - 1)(m_generator)));
    *name = FaultCatalog::name(drawn);
    ++m_drawn[*name];
    int delayMs = m_chaos.delayMs;
    if (drawn == Fault::Trickle)
        delayMs = m_chaos.trickleStepMs;
    else if (drawn == Fault::LateCreate)
        delayMs = std::uniform_int_distribution<int>(
            m_chaos.lateCreateMinMs,
            std::max(m_chaos.lateCreateMinMs, m_chaos.lateCreateMaxMs))(m_generator);
    else if (drawn == Fault::NotFoundLag)
        delayMs = std::uniform_int_distribution<int>(
            m_chaos.notFoundLagMinMs,
            std::max(m_chaos.notFoundLagMinMs, m_chaos.notFoundLagMaxMs))(m_generator);
    return Setting{drawn, delayMs};
}

void FaultPlan::startLag(const QString &orderId, int ms)
{
    const auto now = Clock::now();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lagUntil[orderId] = now + std::chrono::milliseconds(ms);
}

bool FaultPlan::lagging(const QString &orderId)
{
    const auto now = Clock::now();
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_lagUntil.find(orderId);
    if (found == m_lagUntil.end())
        return false;
    if (now < found->second)
        return true;
    m_lagUntil.erase(found);
    return false;
}

void FaultPlan::describe(QJsonObject *drawn, QJsonObject *chaos) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto &entry : m_drawn)
        drawn->insert(entry.first, entry.second);
    *chaos = QJsonObject{{QStringLiteral("seed"), qint64(m_chaos.seed)},
                         {QStringLiteral("percent"), m_chaos.percent},
                         {QStringLiteral("downPerMille"), m_chaos.downPerMille},
                         {QStringLiteral("on"), m_chaosOn}};
}

} // namespace sandbox
