#include "service/push_client.h"
