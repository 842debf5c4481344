// A subsystem reaching up into the window's widgets: the layering check must reject it.
#pragma once

#include "chrome/EditorWindowView.h"
