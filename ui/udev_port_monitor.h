#pragma once
// Tells when a tty device is added or removed (a USB adapter plugged in or out), from udev's
// event socket watched by the GUI thread's event loop.
//
// Thread contract: GUI thread only.
#include <QObject>

struct udev;
struct udev_monitor;
class QSocketNotifier;

namespace pelmora {

class UdevPortMonitor : public QObject {
    Q_OBJECT

  public:
    explicit UdevPortMonitor(QObject* parent = nullptr);
    ~UdevPortMonitor() override;

  signals:
    void portsChanged();

  private:
    void OnEvent();

    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace pelmora
