// Site files now live in the object server's public API.
#pragma once

#include "ovx/site.h"
