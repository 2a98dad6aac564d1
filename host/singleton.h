#pragma once

#include "hostexport.h"

class Config;
class Session;
class DBQueueBroker;

// Process-wide host services. The pointers live in the host library, so the plug-in, the
// till and the tests all read the same one. A user that finds a pointer null creates the
// service and stores it; nobody but the host deletes it.
template<typename T> struct Singleton
{
    static T *instance;
};

template<> HOST_EXPORT Config *Singleton<Config>::instance;
template<> HOST_EXPORT Session *Singleton<Session>::instance;
template<> HOST_EXPORT DBQueueBroker *Singleton<DBQueueBroker>::instance;
