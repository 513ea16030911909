// What the program supplies to the host: its global initialisation and its main function, which
// creates the application.
#pragma once

void vxInit();
int vxMain();
