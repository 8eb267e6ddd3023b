#include "flow_log.h"
