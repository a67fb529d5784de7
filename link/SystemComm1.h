// The real serial port of the system QVR is built for.
#pragma once

#ifdef _WIN32
#include "Win32Comm1.h"
using SystemComm1 = Win32Comm1;
#else
#include "SerialComm1.h"
using SystemComm1 = SerialComm1;
#endif
