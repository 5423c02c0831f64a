// The scroll bar widget and its scrolling arithmetic.
#pragma once
#include "gui/object.h"

// A pixel-based scroll bar: an arrow button at each end (t × t, t = the bar's
// thickness), a trough between them, and a thumb whose length shows the
// visible fraction of the content. It knows nothing of the content: its owner
// calls set_range when the content or view size changes and get_offset to
// learn the first visible unit.
//
// position is the thumb's start in pixels from the inner end of the first
// arrow, kept within 0 .. track - thumb_size, where track is the bar's length
// minus both arrows (never taken below 0).
class scrollbar : public object {
public:
    float position = 0.0f;
    float thumb_size = 1.0f;
    int wheel_step = 1;       // pixels per unit of wheel delta
    int grab = 0;             // while dragging: pointer minus position at the press
    bool vertical = true;
    bool dragging = false;
    bool active = false;      // the left button went down inside and is still down
    bool scrollable = false;  // content larger than the view: thumb, wheel, offsets

    // Pixels between the two arrow buttons, 0 for a bar too short to have any.
    int track() const;
    void set_range(int total, int visible);
    // First visible unit for the thumb's position: 0 .. total - visible.
    int get_offset(int total, int visible) const;
    // Moves the thumb so the view starts at offset of max_offset (clamped).
    void set_offset(int max_offset, int offset);

    int handle_event(int type, int value) override;
    // While captured: drags the thumb, or repeats the arrow one pixel a pass.
    int update() override;
    int draw(BITMAP *target) override;

private:
    void draw_flat(BITMAP *target);
    void draw_themed();
};

// Docks `bar` along the right edge of `owner`, 10 pixels wide and as tall as
// it: where the list box and the texture page view carry theirs.
void dock_scrollbar(scrollbar *bar, const object *owner);

