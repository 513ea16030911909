// The game's application object. Until the game itself is written it keeps every default: the window
// opens, renders nothing and closes with its close button.
#pragma once

#include "framework/app/app.h"

class c_MyApp : public c_App {};
