// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzzsupport.h"

// Called once by libFuzzer and by the replay driver before any input.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::startApplication();
    return 0;
}
