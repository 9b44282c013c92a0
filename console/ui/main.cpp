#include "cKestrumApp.h"

int main(int argc, char* argv[])
{
    cKestrumApp app;
    return app.Run(argc, argv);
}
