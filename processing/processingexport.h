#pragma once

#include <QtGlobal>

#if defined(PROCESSING_LIBRARY)
#define PROCESSING_EXPORT Q_DECL_EXPORT
#else
#define PROCESSING_EXPORT Q_DECL_IMPORT
#endif
