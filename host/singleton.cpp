#include "singleton.h"

template<> Config *Singleton<Config>::instance = nullptr;
template<> Session *Singleton<Session>::instance = nullptr;
template<> DBQueueBroker *Singleton<DBQueueBroker>::instance = nullptr;
