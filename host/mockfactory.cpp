#include "mockfactory.h"

#include "restclient.h"

template<>
std::function<QSharedPointer<RestClient>()> MockFactory<RestClient>::creator =
    [] { return MockFactory<RestClient>::defaultCreator(); };
