// Resource ids of the Windows build, shared by velumin.rc and the code.
#pragma once

// Icons: the application icon and the tray lamp's four pictures.
#define IDI_VELUMIN 128
#define IDI_LAMP_SEND 129
#define IDI_LAMP_IDLE 130
#define IDI_LAMP_RECEIVE 133
#define IDI_LAMP_BOTH 134
