#include "app/datalog_app.h"

int main(int argc, char** argv) {
    pelmora::CdatalogApp app(argc, argv);
    return app.InitInstance();
}
