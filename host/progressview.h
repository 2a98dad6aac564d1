#pragma once

#include "hostexport.h"
#include "tr.h"

// The cashier's progress display.
class HOST_EXPORT ProgressView
{
public:
    virtual ~ProgressView();

    virtual void setProgressValue(int value) = 0;
    virtual void setProgressText(const tr::Tr &message) = 0;
};
