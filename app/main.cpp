#include "app/CMyKorvaneApp.h"

int main(int argc, char **argv)
{
    CMyKorvaneApp app(argc, argv);
    if (!app.InitInstance({}))
        return 1;
    return app.exec();
}
