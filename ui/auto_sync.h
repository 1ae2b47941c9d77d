#pragma once
// The remembered logger on the desktop side: the user service that downloads it when it is
// plugged in (systemctl --user), the udev rule that gives the user its port (installed through
// pkexec, shown first), and a watch that tells the window when it appears.
//
// Thread contract: GUI thread only.
#include <QObject>
#include <QString>

#include "link/remembered_logger.h"

class QFileSystemWatcher;
class QWidget;

namespace pelmora {

class MessageBoxes;
class UdevPortMonitor;

inline constexpr const char* kSyncServiceName = "pelmora-sync.service";

// systemctl --user enable --now (or disable --now) the sync service; false with the cause.
bool SetSyncService(bool enable, QString& error);

// Shows the rule for the logger and, when the user agrees, installs it as
// /etc/udev/rules.d/70-pelmora.rules through pkexec and makes udev apply it. A logger no rule
// can name safely is told why instead.
void OfferUdevRule(QWidget* parent, MessageBoxes& boxes, const LoggerIdentity& logger);

// Tells when the remembered logger is plugged in: udev's events for a USB one, its folder's for a
// path. appeared() comes once per plug-in, with the port to open.
class RememberedLoggerWatch : public QObject {
    Q_OBJECT

  public:
    RememberedLoggerWatch(LoggerIdentity logger, QObject* parent = nullptr);

  signals:
    void appeared(const QString& port);

  private:
    void Look();
    QString Present() const;

    LoggerIdentity m_logger;
    bool m_present = false;
    UdevPortMonitor* m_udev = nullptr;
    QFileSystemWatcher* m_files = nullptr;
};

}  // namespace pelmora
