#include "weektimelineview.h"
