#include "trivialplugin.h"

void TrivialPlugin::init()
{
    ++m_initCount;
}
