#pragma once

#include "PortalModule.h"

// The portal module's side of the interface.
class WebPortalModule : public PortalModule
{
public:
    PortalView *createView(QWidget *parent) override;
};
