#include "core/atomic_file.h"
#include "ui/datalog_app.h"

int main(int argc, char** argv) {
    pelmora::InstallTemporaryCleanup();  // SIGTERM during a conversion leaves no temporary
    pelmora::CdatalogApp app(argc, argv);
    return app.InitInstance();
}
