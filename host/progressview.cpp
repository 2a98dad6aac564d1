#include "progressview.h"

ProgressView::~ProgressView() = default;
