#include "service/port_slots.h"
