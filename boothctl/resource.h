// Resource numbers of the booth control library.
#pragma once

#define IDB_TOOLBOX 102      // 16x16, 16 colours: the control's toolbox picture
#define IDB_CALL_STATES 213  // 96x16, 24 bits: six 16x16 call state pictures
