#include "Models/QtBridge.h"
