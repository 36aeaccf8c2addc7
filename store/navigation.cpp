#include "store/navigation.h"
