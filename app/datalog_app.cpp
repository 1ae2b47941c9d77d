#include "app/datalog_app.h"

#include <QCommandLineParser>
#include <QIcon>
#include <memory>

#include "app/about_dlg.h"
#include "app/device_backend.h"
#include "app/dialog_services.h"
#include "mainwindow/datalog_dlg.h"
#include "mainwindow/qt_window_services.h"
#include "settings/app_paths.h"
#include "settings/qt_profile_store.h"
#include "settings/qt_time_zone_source.h"
#include "settings/udev_port_enumerator.h"

namespace pelmora {

CdatalogApp::CdatalogApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("pelmora"));
    setApplicationVersion(QStringLiteral(PELMORA_VERSION));
    // Wayland finds the window's icon and entry by this name.
    setDesktopFileName(QStringLiteral(PELMORA_APP_ID));
    setWindowIcon(QIcon(QStringLiteral(":/pelmora/pelmora.png")));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Manager of the GPS data logger"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Offer the built-in simulated logger as a port."));
    parser.addOption(simulate);
    parser.process(*this);
    m_simulate = parser.isSet(simulate);
}

int CdatalogApp::InitInstance() {
    QtProfileStore profile;
    const std::string dataFolder = DefaultDataFolder();
    EnsureFolder(dataFolder);

    std::unique_ptr<DeviceBackend> backend = MakeDeviceBackend(m_simulate);
    if (!backend) {
        return 1;
    }
    UdevPortEnumerator systemPorts;
    ExtendedPortEnumerator ports(systemPorts, backend->ExtraPorts());
    QtTimeZoneSource zones;

    QtMessageBoxes boxes;
    QtSaveFileChooser saveFile;
    DesktopFolderOpener folders;
    SetDlgPortChooser portChooser(profile, ports);
    TimeDlgSettingsEditor settingsEditor(profile, zones);
    SystemClock clock;

    CdatalogDlg::Config config;
    config.profile = &profile;
    config.device = &backend->Session();
    config.trace = &backend->Trace();
    config.services = {&boxes, &saveFile, &folders, &portChooser, &settingsEditor, &clock};
    config.dataFolder = dataFolder;
    config.computerOffsetMinutes = ComputerStandardOffsetMinutes();

    CdatalogDlg dlg(std::move(config));
    QObject::connect(&dlg, &CdatalogDlg::aboutRequested, &dlg, [&dlg] {
        CAboutDlg about(&dlg);
        about.exec();
    });
    if (!dlg.OnInitDialog()) {
        return 0;
    }
    dlg.exec();
    return dlg.exitCode();
}

}  // namespace pelmora
