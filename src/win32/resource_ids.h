// Resource numbers of the Windows program (norvane.rc), shared with the code that loads them.
#pragma once

#define NORVANE_ICON 1
