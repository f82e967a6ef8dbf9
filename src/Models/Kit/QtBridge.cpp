#include "Models/Kit/QtBridge.h"
