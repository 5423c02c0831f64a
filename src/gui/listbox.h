// The list box: a vertical list of text items with one selection and a scroll bar.
#pragma once
#include "gui/object.h"
#include "gui/scrollbar.h"

// Rows are text_height + 2 pixels high; rows() of them fit for drawing,
// clicking and select(). The item array and its strings belong to the
// caller, who keeps them alive while the list shows them and calls
// update_range() after changing items or count.
//
// selected is -1 or an index below count: select() and the keys never store
// an index outside the items, and a stale selection (count lowered without a
// new select) is treated as none by the keys.
class listbox : public object {
public:
    scrollbar scroll;                    // 10 pixels wide along the right edge
    const char *const *items = nullptr;  // not owned
    int count = 0;
    int selected = -1;
    void (*on_change)(int index) = nullptr;
    bool numbered = true;                // rows read "%d: %s"

    // Rows that fit for drawing and picking: (h - 4) / (text_height + 2), at least 0.
    int rows() const;
    // The first item shown, as the scroll bar's position says.
    int top_row() const;
    void update_range();
    // Selects index and scrolls it to the first visible row (or to the end of
    // the list when it is in the last screenful). An index outside the items
    // selects nothing and scrolls to the top. Does not call on_change.
    void select(int index);

    int handle_event(int type, int value) override;
    int update() override { return 0; }
    int draw(BITMAP *target) override;
    // Lays out the scroll bar and adds it above the list.
    void attach(gui_manager *manager) override;
    void show() override;
    void hide() override;

    // The text of row item i as drawn: "%d: %s" or "%s", the item cut
    // character by character (at most 99) to fit the list's width.
    void row_text(int i, char *out, int out_size) const;
};
