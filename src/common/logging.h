// glog for the host, with Windows' ERROR macro kept out of its way.
#pragma once

#ifndef GLOG_NO_ABBREVIATED_SEVERITIES
#define GLOG_NO_ABBREVIATED_SEVERITIES
#endif
#include <windows.h>
#include <glog/logging.h>

#include "BASUtility.h"
