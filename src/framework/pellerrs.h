// The framework's fatal error report, exported to the host (the classes are declared
// in include/vantor.h, which the host is built against). reporterror never returns:
// it either shows the message in a box and ends the process with exit code 69, or
// throws it to the host as a pellerrsexception, as the host chose.
#pragma once

#include "framework/exports.h"
