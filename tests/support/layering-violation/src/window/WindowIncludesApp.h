// A window header reaching up into the application: the layering check must reject it.
#pragma once

#include "app/EditorMenuBar.h"
