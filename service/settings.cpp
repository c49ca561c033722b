#include "service/settings.h"

int MulticastMaxDuration = 5;
