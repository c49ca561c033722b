#include "service/request_handler.h"
