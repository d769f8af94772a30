#ifndef SORVBASE_GLOBAL_H
#define SORVBASE_GLOBAL_H

#include <QtCore/qglobal.h>

#if defined(SORVBASE_LIBRARY)
#define SORVBASE_EXPORT Q_DECL_EXPORT
#else
#define SORVBASE_EXPORT Q_DECL_IMPORT
#endif

#endif // SORVBASE_GLOBAL_H
