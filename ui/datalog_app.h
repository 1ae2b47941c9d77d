#pragma once
// The application object: places the profile, runs the main window modally and ends the
// process when it closes.
#include <QApplication>

namespace pelmora {

class CdatalogApp : public QApplication {
    Q_OBJECT

  public:
    CdatalogApp(int& argc, char** argv);
    // Start-up to the end of the main window; the process's exit code.
    int InitInstance();

  private:
    bool m_simulate = false;
};

}  // namespace pelmora
