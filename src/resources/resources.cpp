#include "resources.h"

#include <QtGlobal>

static void initResourcesOnce()
{
    Q_INIT_RESOURCE(resources);
}

void initZemoResources()
{
    static bool done = false;
    if (!done) {
        initResourcesOnce();
        done = true;
    }
}
