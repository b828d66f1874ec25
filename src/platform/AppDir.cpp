#include "platform/AppDir.h"

QString AppDir;
