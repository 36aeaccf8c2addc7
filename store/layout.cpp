#include "store/layout.h"
