#include "ui/datalog_app.h"

#include <QCommandLineParser>
#include <QIcon>
#include <cstdio>
#include <memory>

#include "core/app_paths.h"
#include "link/link_session.h"
#include "link/udev_port_enumerator.h"
#include "sim/logger_sim.h"
#include "ui/about_dlg.h"
#include "ui/datalog_dlg.h"
#include "ui/dialog_services.h"
#include "ui/qt_profile_store.h"
#include "ui/qt_time_zone_source.h"
#include "ui/qt_window_services.h"

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

    // Declared before the link: the link closes its port before the simulator goes away.
    std::unique_ptr<sim::LoggerSim> simulator;
    std::vector<std::string> extraPorts;
    if (m_simulate) {
        simulator = std::make_unique<sim::LoggerSim>();
        std::string error;
        if (!simulator->Start(&error)) {
            std::fprintf(stderr, "pelmora: the simulated logger did not start: %s\n",
                         error.c_str());
            return 1;
        }
        extraPorts.push_back(simulator->SlavePath());
    }
    LinkSession link(ConfigFolder());
    CoreTraceServices trace;
    UdevPortEnumerator systemPorts;
    ExtendedPortEnumerator ports(systemPorts, extraPorts);
    QtTimeZoneSource zones;

    QtMessageBoxes boxes;
    QtSaveFileChooser saveFile;
    DesktopFolderOpener folders;
    SetDlgPortChooser portChooser(profile, ports, boxes);
    TimeDlgSettingsEditor settingsEditor(profile, zones);
    SystemClock clock;

    CdatalogDlg::Config config;
    config.profile = &profile;
    config.device = &link;
    config.trace = &trace;
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
    return 0;
}

}  // namespace pelmora
