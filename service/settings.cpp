#include "service/settings.h"
