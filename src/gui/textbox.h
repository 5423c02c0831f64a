// A read-only multi-line text box with two scroll bars, and a one-line
// search field that finds list items containing the typed text.
#pragma once
#include <vector>
#include "gui/object.h"
#include "gui/scrollbar.h"

// Shows a caller's text split at line feeds, scrolled by lines vertically and
// by whole characters horizontally.
class textbox : public object {
public:
    const char *text;            // not owned; only read by rebuild_lines
    int length;                  // characters of text to show
    std::vector<char *> lines;   // owned copies without their line feeds
    int widest;                  // largest line width in pixels
    scrollbar vscroll;           // units: lines
    scrollbar hscroll;           // units: pixels

    textbox();
    ~textbox() override;
    textbox(const textbox &) = delete;
    textbox &operator=(const textbox &) = delete;

    // Places both scroll bars along the right and bottom edges; call after
    // x, y, w, h are set.
    void layout();
    // Splits text into lines again, then shows the last lines and, when the
    // last line is wider than the box, its right end.
    void rebuild_lines();
    // Rows of text the box has room for.
    int visible_rows() const;
    // Index of the first character of line drawn when the view is scrolled
    // hoff pixels to the right: characters are skipped whole until their
    // widths add up to at least hoff. Answers the line's length when the
    // whole line is scrolled away.
    static int first_shown_char(const char *line, int hoff);

    int handle_event(int type, int value) override;
    int update() override;
    int draw(BITMAP *target) override;
    void attach(gui_manager *manager) override;
    void show() override;
    void hide() override;

private:
    void free_lines();
};

enum { SEARCHBOX_QUERY_SIZE = 128 };

// Key values (readkey: scancode high byte, character low byte).
enum {
    SEARCHBOX_KEY_BACKSPACE = 0x3F08,
    SEARCHBOX_KEY_ENTER = 0x430D,
};

// A one-line field: typed text is kept in upper case; Enter finds the next
// item containing it and reports the index through on_search.
class searchbox : public object {
public:
    const char *const *items;   // searched strings, not owned
    int count;
    int next_index;             // where the next find_next starts
    void (*on_search)(int index);   // index found or -1; may be null
    char query[SEARCHBOX_QUERY_SIZE];
    int query_length;           // may count zero bytes typed by keys without a character
    bool changed;               // edited since the last search
    bool not_found;             // the last search failed: drawn red

    searchbox();

    // Finds the first item from next_index on that contains the first
    // query_length characters of query (compared as strncmp does). Returns
    // its index and moves next_index past it, or -1 leaving next_index.
    int find_next(const char *query);
    // find_next from the first item.
    int find_first(const char *query);

    int handle_event(int type, int value) override;
    int update() override;
    int draw(BITMAP *target) override;
};
