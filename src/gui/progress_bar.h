// A progress bar: filled from the left to `done` of `total`.
#pragma once
#include "gui/object.h"

class progress_bar : public object {
public:
    int done = 0, total = 0;

    int handle_event(int, int) override { return 0; }
    int update() override { return 1; }
    int draw(BITMAP *target) override;
};
