// Menu-bar title buttons (`menu`) and their drop-down lists (`menu_chunk`).
#pragma once
#include <vector>
#include "gui/object.h"

class menu;

// A command hung on a menu row; runs synchronously inside the dispatch pass.
typedef void (*menu_command)();

// One drop-down list of a menu: rows of labels, each running a command or
// opening a sub-menu (another chunk of the same menu) to its right.
class menu_chunk : public object {
public:
    int hovered_row;                       // row under the pointer, -1 = none
    int open_row;                          // row whose sub-menu was opened last, -1 = none
    std::vector<const char *> labels;      // one per row, not owned
    std::vector<const char *> shortcuts;   // one per row, shown at the right; null = none; not owned
    std::vector<bool> disabled;            // one per row: drawn grey, a press does nothing
    std::vector<menu_command> commands;    // one per row; null on a sub-menu row
    std::vector<menu_chunk *> sub_chunks;  // one per row; null on a command row; owned by the menu
    menu *owner;

    menu_chunk();

    int handle_event(int type, int value) override;
    int update() override;
    int draw(BITMAP *target) override;
    // Hiding also forgets the hovered row (see close).
    void hide() override;

    // Hides every sub-menu below this chunk, then the chunk itself.
    void close();
    // Places the chunk at (px, py), sizes it to its labels and places its
    // sub-menus beside the rows that open them.
    void layout(int px, int py);
    // The row a pointer at (px, py) hovers, or -1. Only x strictly inside the
    // chunk counts; y is divided rounding towards zero, so a pointer just
    // above the first row still names row 0.
    int row_at(int px, int py) const;
    int row_count() const { return (int)labels.size(); }

    // Rows that change while the program runs (a list of recent files):
    // drop every command row, or add one; lay the chunk out again after.
    void clear_rows();
    void add_row(const char *label, menu_command command, const char *shortcut = nullptr);

private:
    void append_row(const char *label, menu_command command, menu_chunk *sub_chunk, const char *shortcut);
    friend class menu;
};

// A title button on the menu bar that owns and opens its drop-downs.
//
// Title states (press_count):
//   0 closed   --press on title-->             1 open (chunk 0 shown)
//   1 open     --press on title-->             2 closing
//   2 closing  --release anywhere-->           0 closed
//   any        --release outside title/chunks-> 0 closed
//   any        --command row pressed (after the command ran), hide--> 0 closed
class menu : public object {
public:
    int current_chunk;                 // chunk receiving new rows, -1 before the first
    int press_count;                   // 0 closed, 1 open, 2 second press in progress
    bool hovered;                      // the title is highlighted
    const char *label;                 // the title, not owned
    std::vector<menu_chunk *> chunks;  // owned; 0 is the top drop-down
    std::vector<int> chunk_stack;      // chunks to return to from sub-menus

    menu();
    ~menu() override;
    menu(const menu &) = delete;
    menu &operator=(const menu &) = delete;

    // Building, before the menu is added to the manager. `shortcut` (may be
    // null) is the key that runs the command too, e.g. "Ctrl+S".
    void add_entry(const char *label, menu_command command, const char *shortcut = nullptr);
    void begin_submenu(const char *label);
    void end_submenu();

    // Hides every drop-down and resets the press count; the title stays
    // highlighted only while the pointer is on it.
    void close();

    int handle_event(int type, int value) override;
    int update() override;
    int draw(BITMAP *target) override;
    // Lays out the drop-downs below the title and adds them to the manager,
    // so they lie above the title in z-order.
    void attach(gui_manager *manager) override;
    // Hiding also closes the drop-downs.
    void hide() override;

private:
    menu_chunk *new_chunk();
    menu_chunk *chunk_for_rows();
};
