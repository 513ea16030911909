// What the program gives the host: the module globals' defaults and the one application.
#include "host/program.h"
#include "framework/app/app.h"
#include "framework/graphics/graphics.h"
#include "game/my_app.h"

void vxInit() {
    vx_app_Init();
    vx_graphics_Init();
    vx_game_Init();
}

int vxMain() {
    (new c_MyApp)->m_new();
    return 0;
}
