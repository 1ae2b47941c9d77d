// The desktop notification of pelmora-cli sync --notify, over QtDBus (org.freedesktop
// .Notifications). Linked into pelmora-cli only where Qt's D-Bus module is built; it registers
// itself, so the command-line tool itself stays free of Qt's event machinery.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QVariantMap>
#include <thread>

#include "cli/sync_report.h"

namespace pelmora::cli {
namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
// An action left unclicked this long is no longer listened for.
constexpr int kListenMs = 30 * 60 * 1000;

// Waits, on a thread of its own, for the notification's action, and opens the window for it.
class ActionListener : public QObject {
    Q_OBJECT

  public:
    explicit ActionListener(uint id) : id_(id) {}
    QEventLoop loop;

  public slots:
    void Invoked(uint id, const QString& /*key*/) {
        if (id == id_) {
            QProcess::startDetached(QStringLiteral("pelmora"), {});
            loop.quit();
        }
    }
    void Closed(uint id, uint /*reason*/) {
        if (id == id_) {
            loop.quit();
        }
    }

  private:
    uint id_;
};

bool NotifyDesktop(const std::string& text) {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "pelmora-cli";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    QDBusInterface notifications{QLatin1String(kService), QLatin1String(kPath),
                                 QLatin1String(kService), bus};
    if (!notifications.isValid()) {
        return false;
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral(PELMORA_APP_ID));
    const QDBusReply<uint> reply = notifications.call(
        QStringLiteral("Notify"), QStringLiteral("Pelmora"), 0u, QStringLiteral(PELMORA_APP_ID),
        QString::fromStdString(text), QString(),
        QStringList{QStringLiteral("default"), QStringLiteral("Open Pelmora")}, hints, -1);
    if (!reply.isValid()) {
        return false;
    }
    // The click comes as a signal: listened for on a thread of its own, so that the sync goes on
    // waiting for the next plug-in. A run that ends drops it with the process.
    const uint id = reply.value();
    std::thread([id] {
        ActionListener listener(id);
        QDBusConnection session = QDBusConnection::sessionBus();
        session.connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kService),
                        QStringLiteral("ActionInvoked"), &listener, SLOT(Invoked(uint, QString)));
        session.connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kService),
                        QStringLiteral("NotificationClosed"), &listener, SLOT(Closed(uint, uint)));
        QTimer::singleShot(kListenMs, &listener.loop, &QEventLoop::quit);
        listener.loop.exec();
    }).detach();
    return true;
}

struct Registrar {
    Registrar() { SetDesktopNotifier(&NotifyDesktop); }
} const kRegistrar;

}  // namespace
}  // namespace pelmora::cli

#include "desktop_notifier.moc"
