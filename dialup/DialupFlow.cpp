#include "dialup/DialupFlow.h"
