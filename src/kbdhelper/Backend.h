#pragma once

#include "kbdhelper/Session.h"

namespace q5nkbd {

// The highest descriptor the ports need open; every other one above the
// standard three is closed at start.
int lastDescriptor();

// Takes access to the two ports and nothing else. Null, with `error` set to
// the system's error number, when the access cannot be had. Runs before the
// capabilities are dropped: it must do nothing else.
Ports *openPorts(int argc, char **argv, int *error);

// The pace the client is held to: always the protocol's on the real ports.
Pace clientPace(int argc, char **argv);

} // namespace q5nkbd
