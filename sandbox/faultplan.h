#pragma once

#include "chaos.h"
#include "fault.h"

#include <QJsonObject>
#include <QString>

#include <array>
#include <chrono>
#include <map>
#include <mutex>
#include <random>

namespace sandbox {

// Which fault each request meets: the faults set per endpoint, the chaos draw with its own
// generator and down windows, and the orders in a NotFoundLag spell. Called from the serving
// threads and the tests' at once; every method takes the plan's own lock.
class FaultPlan
{
public:
    struct Setting
    {
        Fault fault = Fault::None;
        int delayMs = 0;
    };

    void set(Endpoint endpoint, const Setting &setting);
    void clear();
    // Starts drawing (percent 0 draws none), the generator from the seed.
    void setChaos(const Chaos &chaos);
    // Stops drawing and ends a down window and every lagging order's spell.
    void heal();

    // The fault a request to `endpoint` meets: the one set on it, else a draw when chaos is
    // on. `name` receives what the ledger calls it ("down" in a down window).
    Setting faultFor(Endpoint endpoint, QString *name);
    // Starts a NotFoundLag spell of `ms` on an order.
    void startLag(const QString &orderId, int ms);
    // Whether an order is in a NotFoundLag spell; one that has run out is forgotten.
    bool lagging(const QString &orderId);

    // The ledger's "faults" (fault name: times drawn, "down": windows) and "chaos" ({"seed",
    // "percent", "downPerMille", "on"}), read at one moment.
    void describe(QJsonObject *drawn, QJsonObject *chaos) const;

private:
    using Clock = std::chrono::steady_clock;

    mutable std::mutex m_mutex;
    std::array<Setting, 4> m_faults{};
    Chaos m_chaos;
    bool m_chaosOn = false;
    std::mt19937 m_generator;
    Clock::time_point m_downUntil{};
    std::map<QString, int> m_drawn;
    // Orders answered "order_not_found" until then.
    std::map<QString, Clock::time_point> m_lagUntil;
};

} // namespace sandbox
