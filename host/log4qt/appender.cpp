#include "appender.h"

namespace Log4Qt {

Appender::~Appender() = default;

} // namespace Log4Qt
