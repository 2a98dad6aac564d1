#pragma once

#include "hostexport.h"

#include <QSharedPointer>

#include <functional>

class RestClient;

// A replaceable factory: tests put a prepared object in before the user creates its own.
template<typename T> struct MockFactory
{
    static std::function<QSharedPointer<T>()> creator;

    static QSharedPointer<T> defaultCreator() { return QSharedPointer<T>(new T()); }
};

// Defined in the host library so that the plug-in and the code that loads it share it.
template<> HOST_EXPORT std::function<QSharedPointer<RestClient>()> MockFactory<RestClient>::creator;
