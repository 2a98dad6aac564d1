#include "plugincheck.h"

#include "checkreport.h"
#include "checktexts.h"
#include <basicpaymentprocessing.h>

#include <QFileInfo>
#include <QJsonObject>
#include <QPluginLoader>

namespace till {

namespace {

using CheckTexts::text;
using Outcome = CheckResult::Outcome;

} // namespace

PluginCheck::PluginCheck(CheckReport &report) : m_report(report) {}

void PluginCheck::check(const QString &path)
{
    const QString check = text("checkPlugin");
    if (!QFileInfo::exists(path)) {
        m_report.add(check, Outcome::Fail, text("pluginMissing").arg(path), text("pluginHint"));
        return;
    }
    // The plug-in stays loaded until the process ends, as the till's other commands keep it.
    QPluginLoader loader(QFileInfo(path).absoluteFilePath());
    const QJsonObject meta = loader.metaData();
    const QString iid = meta.value(QStringLiteral("IID")).toString();
    if (meta.isEmpty() || !loader.load()) {
        m_report.add(check, Outcome::Fail, text("pluginNotLoaded").arg(path, loader.errorString()),
                     text("pluginHint"));
        return;
    }
    if (iid != QLatin1String("Velmor")) {
        m_report.add(check, Outcome::Fail, text("pluginWrongIid").arg(path, iid),
                     text("pluginHint"));
        return;
    }
    if (!qobject_cast<BasicPaymentProcessing *>(loader.instance())) {
        m_report.add(check, Outcome::Fail, text("pluginNoInterface").arg(path), text("pluginHint"));
        return;
    }
    const QString version = meta.value(QStringLiteral("MetaData"))
                                .toObject()
                                .value(QStringLiteral("version"))
                                .toString();
    m_version = version;
    const int qt = meta.value(QStringLiteral("version")).toInt();
    m_report.add(
        check, Outcome::Ok,
        text("pluginOk")
            .arg(path, iid, version.isEmpty() ? text("pluginNoVersion") : version)
            .arg(QStringLiteral("%1.%2.%3").arg(qt >> 16).arg((qt >> 8) & 0xff).arg(qt & 0xff)));
}

} // namespace till
