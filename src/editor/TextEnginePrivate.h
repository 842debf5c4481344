#pragma once

// Qt's private text engine, and the character rules it calls, only for the Qt versions the build
// verified (see CMakeLists.txt): its layout of the line list, shaping data and attributes may
// change with any Qt release. DUNMOSS_TEXT_ENGINE says whether they may be used.
#ifdef DUNMOSS_TEXT_ENGINE_QT_VERSION
#include <QtCore/private/qunicodetools_p.h>
#include <QtGui/private/qtextengine_p.h>
#define DUNMOSS_TEXT_ENGINE 1
#else
#define DUNMOSS_TEXT_ENGINE 0
#endif
