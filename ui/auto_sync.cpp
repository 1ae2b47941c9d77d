#include "ui/auto_sync.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QProcess>

#include "link/udev_logger.h"
#include "ui/qt_text.h"
#include "ui/udev_port_monitor.h"
#include "ui/window_services.h"
#include "ui/window_texts.h"

namespace pelmora {
namespace {

// A command's outcome, with what it said on failure.
bool RunCommand(const QString& program, const QStringList& args, const QByteArray& input,
                int waitMs, QString& error) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForStarted(5000)) {
        error = program + QStringLiteral(": ") + process.errorString();
        return false;
    }
    if (!input.isEmpty()) {
        process.write(input);
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(waitMs)) {
        process.kill();
        process.waitForFinished(1000);
        error = program + QStringLiteral(": no answer");
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        error = program + QStringLiteral(": ") +
                QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        return false;
    }
    return true;
}

}  // namespace

bool SetSyncService(bool enable, QString& error) {
    return RunCommand(
        QStringLiteral("systemctl"),
        {QStringLiteral("--user"), enable ? QStringLiteral("enable") : QStringLiteral("disable"),
         QStringLiteral("--now"), QLatin1String(kSyncServiceName)},
        {}, 15000, error);
}

void OfferUdevRule(QWidget* parent, MessageBoxes& boxes, const LoggerIdentity& logger) {
    std::string problem;
    const std::string rule = UdevRuleText(logger, problem);
    const QString caption = QLatin1String(kWindowTitle);
    if (rule.empty()) {
        boxes.Show(parent, caption, Q(problem), BoxIcon::Information);
        return;
    }
    const QString question =
        QStringLiteral(
            "Give this logger to the user at this computer without the dialout group, "
            "and keep ModemManager and gpsd off its port? This rule goes into %1 "
            "(administrator rights are asked for):\n\n%2")
            .arg(QLatin1String(kUdevRulePath), Q(rule));
    if (!boxes.AskYesNo(parent, caption, question)) {
        return;
    }
    // The rule on standard input: no path or text of ours is ever part of a command line.
    const QString script = QStringLiteral(
                               "cat > '%1' && udevadm control --reload && "
                               "udevadm trigger --subsystem-match=tty --action=add")
                               .arg(QLatin1String(kUdevRulePath));
    QString error;
    if (!RunCommand(QStringLiteral("pkexec"),
                    {QStringLiteral("/bin/sh"), QStringLiteral("-c"), script},
                    QByteArray::fromStdString(rule), 5 * 60 * 1000, error)) {
        boxes.Show(parent, caption,
                   QStringLiteral("The rule was not installed (%1). By hand: pelmora-cli "
                                  "udev-rule | sudo tee %2")
                       .arg(error, QLatin1String(kUdevRulePath)),
                   BoxIcon::Warning);
        return;
    }
    boxes.Show(parent, caption,
               QStringLiteral("The rule is installed: unplug the logger and plug it in again."),
               BoxIcon::Information);
}

RememberedLoggerWatch::RememberedLoggerWatch(LoggerIdentity logger, QObject* parent)
    : QObject(parent), m_logger(std::move(logger)) {
    if (m_logger.IsUsb()) {
        m_udev = new UdevPortMonitor(this);
        connect(m_udev, &UdevPortMonitor::portsChanged, this, &RememberedLoggerWatch::Look);
    } else if (!m_logger.empty()) {
        m_files = new QFileSystemWatcher(this);
        m_files->addPath(QFileInfo(Q(m_logger.path)).absolutePath());
        connect(m_files, &QFileSystemWatcher::directoryChanged, this, &RememberedLoggerWatch::Look);
    }
    m_present = !Present().isEmpty();  // one already there was the user's choice, or not
}

QString RememberedLoggerWatch::Present() const {
    if (m_logger.IsUsb()) {
        return Q(FindUsbPort(m_logger));
    }
    return QFileInfo::exists(Q(m_logger.path)) ? Q(m_logger.path) : QString();
}

void RememberedLoggerWatch::Look() {
    const QString port = Present();
    const bool present = !port.isEmpty();
    if (present && !m_present) {
        emit appeared(port);
    }
    m_present = present;
}

}  // namespace pelmora
