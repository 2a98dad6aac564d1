#include "serviceprocess.h"

#include "pipedchild.h"

#include <cerrno>
#include <map>
#include <memory>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const auto readLine = &PipedChild::readLine;
const auto writeAll = &PipedChild::writeAll;

const char Separator = '\t';

QString field(const QList<QByteArray> &fields, int index)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(fields.value(index)));
}

// The child's side: carries out commands until the parent closes the pipe.
void serve(int commands, int answers)
{
    std::map<int, std::unique_ptr<sandbox::Sandbox>> services;
    QByteArray line;
    while (readLine(commands, &line)) {
        const QList<QByteArray> fields = line.split(Separator);
        const QByteArray verb = fields.value(0);
        QByteArray answer = "0";
        if (verb == "start") {
            sandbox::Sandbox::Options options;
            options.keepAlive = fields.value(1) == "1";
            options.basePath = field(fields, 2);
            options.login = field(fields, 3);
            options.password = field(fields, 4);
            options.certificateFile = field(fields, 5);
            options.privateKeyFile = field(fields, 6);
            auto service = std::make_unique<sandbox::Sandbox>(options);
            if (service->start()) {
                answer = QByteArray::number(service->port()) + Separator +
                         service->baseUrl().toUtf8().toPercentEncoding();
                services[service->port()] = std::move(service);
            }
        } else {
            const auto found = services.find(fields.value(1).toInt());
            if (found != services.end() && verb == "status") {
                found->second->setOrderStatus(field(fields, 2), field(fields, 3));
                answer = "1";
            } else if (found != services.end() && verb == "clear") {
                found->second->clearRequests();
                answer = "1";
            }
        }
        if (!writeAll(answers, answer + '\n'))
            break;
    }
    for (auto &service : services)
        service.second->stop();
}

} // namespace

bool ServiceProcess::start()
{
    return m_child.start(serve);
}

int ServiceProcess::startService(const sandbox::Sandbox::Options &options)
{
    const QByteArray answer =
        exchange({"start", options.keepAlive ? "1" : "0", options.basePath.toUtf8(),
                  options.login.toUtf8(), options.password.toUtf8(),
                  options.certificateFile.toUtf8(), options.privateKeyFile.toUtf8()});
    const QList<QByteArray> fields = answer.split(Separator);
    const int port = fields.value(0).toInt();
    if (port > 0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_baseUrls.insert(port, field(fields, 1));
    }
    return port;
}

QString ServiceProcess::baseUrl(int port) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_baseUrls.value(port);
}

bool ServiceProcess::setOrderStatus(int port, const QString &id, const QString &status)
{
    return exchange({"status", QByteArray::number(port), id.toUtf8(), status.toUtf8()}) == "1";
}

bool ServiceProcess::clearRequests(int port)
{
    return exchange({"clear", QByteArray::number(port)}) == "1";
}

QByteArray ServiceProcess::exchange(const QList<QByteArray> &fields)
{
    // Each field is percent-encoded, so that neither a separator nor a newline can end up
    // inside one; the verb and numbers pass unchanged.
    QByteArray line;
    for (const QByteArray &value : fields) {
        if (!line.isEmpty())
            line += Separator;
        line += value.toPercentEncoding();
    }
    QByteArray answer;
    if (!m_child.exchange(line, &answer))
        return QByteArray();
    return answer;
}
