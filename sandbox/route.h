#pragma once

#include "fault.h"

#include <QByteArray>
#include <QString>

#include <string>

namespace sandbox {

// Which endpoint a request is for, read from its method and its raw target.
struct Route
{
    // Ledger and Heal are the control routes, GET and POST on ControlPrefix + "ledger" and
    // + "heal", outside the base path and the shape of any service path.
    enum Kind { Found, NotFound, WrongMethod, Ledger, Heal };

    static constexpr const char *ControlPrefix = "/_soak/";

    // `basePath` is the service's path prefix ("" or "/api", no trailing slash). The target is
    // taken as sent: httplib's path is already percent-decoded, and an order id holding "%2F"
    // would fall apart there.
    static Route of(const QByteArray &basePath, const std::string &method,
                    const std::string &target);

    // The order the request is about: the path's for info, cancel and refund, the create's
    // `body`'s for create.
    QString orderIdIn(const std::string &body) const;

    Kind kind = NotFound;
    Endpoint endpoint = Endpoint::Create;
    QString orderId;
};

// Whether an Authorization header carries Basic credentials for exactly `login` and `password`.
bool isAuthorized(const std::string &authorizationHeader, const QString &login,
                  const QString &password);

} // namespace sandbox
