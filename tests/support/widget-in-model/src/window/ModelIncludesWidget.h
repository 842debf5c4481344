// The window model drawing its own button: the layering check must reject it.
#pragma once

#include <QPushButton>
