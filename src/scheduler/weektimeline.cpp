#include "weektimeline.h"
