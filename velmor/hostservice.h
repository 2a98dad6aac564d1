#pragma once

#include <singleton.h>

namespace velmor {

// The host's service of type T, created on first use when the host has not set one up. The
// host owns the instance from then on.
template<typename T> T *hostService()
{
    if (!Singleton<T>::instance)
        Singleton<T>::instance = new T;
    return Singleton<T>::instance;
}

} // namespace velmor
