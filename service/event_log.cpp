#include "service/event_log.h"
