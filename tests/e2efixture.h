#pragma once

#include "hostfixture.h"

#include <QPluginLoader>
#include <basicpaymentprocessing.h>
#include <sandbox/sandbox.h>

#include <functional>
#include <memory>
#include <restclient.h>

// The built plug-in, loaded as the host loads it, talking to a sandbox service on loopback.
class E2EFixture : public HostFixture
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Options of the sandbox started by SetUp; change them in a subclass constructor.
    virtual sandbox::Sandbox::Options sandboxOptions() const;

    // A fresh processing object configured for the sandbox, with the transport that
    // `creator` makes (the default one when empty).
    void restartPlugin(const std::function<QSharedPointer<RestClient>()> &creator = {});

    static QPluginLoader &loader();
    BasicPaymentProcessing *processing() const { return m_processing; }

    // A completed sale of the current receipt, paid at its first poll; returns its order id.
    QString completedSale(int kopecks);
    PaymentProcessingRequest saleRequest(int kopecks, const char *code) const;
    PaymentProcessingRequest refundRequest(const QString &orderId, int kopecks, int type = 3) const;

    // What a till does with the queue: offer each message, remove it when it is finished.
    // Returns how many messages were finished.
    int replayQueue();

    std::unique_ptr<sandbox::Sandbox> sandbox;

private:
    BasicPaymentProcessing *m_processing = nullptr;
};
