#include "app/datalog_app.h"
#include "trace/atomic_file.h"

int main(int argc, char** argv) {
    pelmora::InstallTemporaryCleanup();  // SIGTERM during a conversion leaves no temporary
    pelmora::CdatalogApp app(argc, argv);
    return app.InitInstance();
}
