/* The file chooser helper: one GTK 3 open, save or folder dialog, answered on
 * stdout.
 *
 * Usage: qte_file_chooser [--select FILE] [--title TITLE] [--filter N] [--name NAME]
 *                         open|save|folder INITIAL_FOLDER
 *                         DESCRIPTION PATTERN [DESCRIPTION PATTERN]...
 *
 * In folder mode the filters may be left out; given, they only offer a
 * choice (of format, say) whose index comes back with the chosen folder.
 * N (1-based) is the filter selected at the start; NAME the file name a
 * save dialog suggests.
 *
 * On a confirmed choice it prints two lines, the 1-based index of the filter
 * that was selected and the chosen path, and exits with 0. A cancelled
 * dialog prints nothing and exits with 1; wrong arguments exit with 2.
 * An empty INITIAL_FOLDER leaves the folder to GTK; an existing FILE starts
 * chosen (in its own folder), so Enter takes it. TITLE names the window.
 * Patterns match names in any case ("*.lev" lists "TRACK1.LEV"); one filter
 * may name several, separated by ';' ("*.png;*.bmp"). An open dialog adds
 * "All Files (*)" after the given ones; it answers as the first. A save
 * dialog offers only the given ones: there "All Files" would choose nothing.
 */
#include <gtk/gtk.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

static int is_folder(const char *path)
{
    struct stat st;
    return path[0] != '\0' && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

/* The extension of a plain "*.ext" pattern (".ext"), else NULL. */
static const char *pattern_extension(const char *pattern)
{
    if (strncmp(pattern, "*.", 2) != 0 || strpbrk(pattern + 1, "*?[;") != NULL)
        return NULL;
    return pattern + 1;
}

static int ends_with(const char *name, const char *extension)
{
    size_t n = strlen(name), e = strlen(extension);
    return n > e && g_ascii_strcasecmp(name + n - e, extension) == 0;
}

/* The filters' patterns, argv-style from `patterns` (every second entry),
 * `count` of them; which of their extensions `name` ends with, or NULL. */
static const char *known_extension(const char *name, char **patterns, int count)
{
    for (int i = 0; i < count; i++) {
        const char *extension = pattern_extension(patterns[2 * i]);
        if (extension != NULL && ends_with(name, extension))
            return extension;
    }
    return NULL;
}

/* `path` with the extension of `pattern` ("*.bmp") appended unless it ends
 * in one of the filters' extensions already, in any case (as the editor
 * does: a typed extension chooses the format). */
static char *with_extension(const char *path, const char *pattern, char **patterns, int count)
{
    const char *extension = pattern_extension(pattern);
    if (extension == NULL || known_extension(path, patterns, count) != NULL)
        return g_strdup(path);
    return g_strconcat(path, extension, NULL);
}

/* The patterns of the filters, for the filter-change handler below. */
static char **filter_patterns;
static int filter_pattern_count;
static GtkFileFilter *filters[16];

/* Choosing another file type in a save dialog changes the extension of the
 * name typed so far when it is one of the types' own. */
static void follow_filter(GObject *object, GParamSpec *property, gpointer unused)
{
    (void)property;
    (void)unused;
    GtkFileChooser *chooser = GTK_FILE_CHOOSER(object);
    GtkFileFilter *chosen = gtk_file_chooser_get_filter(chooser);
    for (int i = 0; i < filter_pattern_count; i++) {
        const char *extension = pattern_extension(filter_patterns[2 * i]);
        if (filters[i] != chosen || extension == NULL)
            continue;
        char *name = gtk_file_chooser_get_current_name(chooser);
        const char *old = name ? known_extension(name, filter_patterns, filter_pattern_count) : NULL;
        if (old != NULL && g_ascii_strcasecmp(old, extension) != 0) {
            name[strlen(name) - strlen(old)] = '\0';
            char *renamed = g_strconcat(name, extension, NULL);
            gtk_file_chooser_set_current_name(chooser, renamed);
            g_free(renamed);
        }
        g_free(name);
    }
}

/* `pattern` with each letter outside brackets matching either case:
 * "*.lev" becomes "*.[lL][eE][vV]". */
static char *any_case(const char *pattern)
{
    GString *out = g_string_new(NULL);
    int in_brackets = 0;
    for (const char *p = pattern; *p; p++) {
        if (*p == '[')
            in_brackets = 1;
        else if (*p == ']')
            in_brackets = 0;
        if (!in_brackets && g_ascii_isalpha(*p))
            g_string_append_printf(out, "[%c%c]", g_ascii_tolower(*p), g_ascii_toupper(*p));
        else
            g_string_append_c(out, *p);
    }
    return g_string_free(out, FALSE);
}

/* Asks before a file is replaced; GTK only asks for the name as typed. */
static int confirm_replace(GtkWindow *parent, const char *path)
{
    char *name = g_path_get_basename(path);
    GtkWidget *ask = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE,
                                            "A file named \u201c%s\u201d already exists. Do you want to replace it?",
                                            name);
    gtk_dialog_add_buttons(GTK_DIALOG(ask), "_Cancel", GTK_RESPONSE_CANCEL, "_Replace", GTK_RESPONSE_ACCEPT, NULL);
    gtk_dialog_set_default_response(GTK_DIALOG(ask), GTK_RESPONSE_CANCEL);
    int replace = gtk_dialog_run(GTK_DIALOG(ask)) == GTK_RESPONSE_ACCEPT;
    gtk_widget_destroy(ask);
    g_free(name);
    return replace;
}

/* The accept button. A keyboard-activated GtkButton shows itself pressed
 * for a quarter of a second before it clicks, and the chooser activates it
 * twice for a typed name (Enter, then again once it has checked the file),
 * which held every answer back by half a second. This one clicks at once. */
typedef GtkButton QuickButton;
typedef GtkButtonClass QuickButtonClass;
G_DEFINE_TYPE(QuickButton, quick_button, GTK_TYPE_BUTTON)

static void quick_button_activate(GtkButton *button) { gtk_button_clicked(button); }
static void quick_button_class_init(QuickButtonClass *class) { class->activate = quick_button_activate; }
static void quick_button_init(QuickButton *button) { (void)button; }

/* The chooser restores a remembered size when it is mapped; keep it within
 * the screen and centred there. */
static void fit_on_screen(GtkWidget *dialog, gpointer unused)
{
    (void)unused;
    GdkDisplay *display = gtk_widget_get_display(dialog);
    GdkMonitor *monitor = gdk_display_get_monitor(display, 0);
    GdkRectangle area = {0, 0, 1024, 768};
    if (monitor != NULL)
        gdk_monitor_get_geometry(monitor, &area);
    int w = 760, h = 520;
    int sw = area.width, sh = area.height;
    if (w > sw)
        w = sw;
    if (h > sh)
        h = sh;
    gtk_window_resize(GTK_WINDOW(dialog), w, h);
    gtk_window_move(GTK_WINDOW(dialog), (sw - w) / 2, (sh - h) / 2);
}

int main(int argc, char **argv)
{
    const char *selected = NULL, *title = NULL, *suggested = NULL;
    int first_filter = 1;
    while (argc > 2 && strncmp(argv[1], "--", 2) == 0) {
        if (strcmp(argv[1], "--select") == 0)
            selected = argv[2];
        else if (strcmp(argv[1], "--title") == 0)
            title = argv[2];
        else if (strcmp(argv[1], "--filter") == 0)
            first_filter = atoi(argv[2]);
        else if (strcmp(argv[1], "--name") == 0)
            suggested = argv[2];
        else
            return 2;
        argv[2] = argv[0];
        argv += 2;
        argc -= 2;
    }
    int saving = argc > 1 && strcmp(argv[1], "save") == 0;
    int folder = argc > 1 && strcmp(argv[1], "folder") == 0;
    if (argc < (folder ? 3 : 5) || (argc - 3) % 2 != 0)
        return 2;
    if (!saving && !folder && strcmp(argv[1], "open") != 0)
        return 2;
    /* Without a session bus the settings store cannot save and complains on
     * every change; keep the chooser's settings in memory then. */
    if (g_getenv("DBUS_SESSION_BUS_ADDRESS") == NULL)
        g_setenv("GSETTINGS_BACKEND", "memory", FALSE);
    if (!gtk_init_check(&argc, &argv))
        return 3;

    GtkFileChooserAction action = saving   ? GTK_FILE_CHOOSER_ACTION_SAVE
                                  : folder ? GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER
                                           : GTK_FILE_CHOOSER_ACTION_OPEN;
    GtkWidget *dialog = gtk_file_chooser_dialog_new(title, NULL, action, "_Cancel", GTK_RESPONSE_CANCEL,
                                                    saving ? "_Save" : folder ? "_Select" : "_Open",
                                                    GTK_RESPONSE_ACCEPT, NULL);
    GtkFileChooser *chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    if (saving)
        gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
    if (is_folder(argv[2]))
        gtk_file_chooser_set_current_folder(chooser, argv[2]);
    if (selected != NULL && g_file_test(selected, G_FILE_TEST_IS_REGULAR))
        gtk_file_chooser_set_filename(chooser, selected);

    int filter_count = (argc - 3) / 2;
    if (filter_count > 15)
        filter_count = 15;
    int all_files = !saving && !folder;
    for (int i = 0; i < filter_count + all_files; i++) {
        filters[i] = gtk_file_filter_new();
        int all = i == filter_count;
        gtk_file_filter_set_name(filters[i], all ? "All Files (*)" : argv[3 + 2 * i]);
        /* One filter may name several patterns, separated by ';'. */
        char **patterns = g_strsplit(all ? "*" : argv[4 + 2 * i], ";", -1);
        for (char **one = patterns; *one; one++) {
            char *pattern = any_case(*one);
            gtk_file_filter_add_pattern(filters[i], pattern);
            g_free(pattern);
        }
        g_strfreev(patterns);
        /* A folder chooser's filter is a choice of format: every folder
         * stays choosable whichever is selected. */
        if (folder)
            gtk_file_filter_add_mime_type(filters[i], "inode/directory");
        gtk_file_chooser_add_filter(chooser, filters[i]);
    }
    if (first_filter < 1 || first_filter > filter_count)
        first_filter = 1;
    if (filter_count > 0 || all_files)
        gtk_file_chooser_set_filter(chooser, filters[first_filter - 1]);
    if (saving) {
        filter_patterns = argv + 4;
        filter_pattern_count = filter_count;
        if (suggested != NULL)
            gtk_file_chooser_set_current_name(chooser, suggested);
        g_signal_connect(chooser, "notify::filter", G_CALLBACK(follow_filter), NULL);
    }

    GtkWidget *accept = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    GtkWidget *quick = g_object_new(quick_button_get_type(), "label", gtk_button_get_label(GTK_BUTTON(accept)),
                                    "use-underline", TRUE, "can-default", TRUE, "visible", TRUE, NULL);
    gtk_widget_destroy(accept);
    gtk_dialog_add_action_widget(GTK_DIALOG(dialog), quick, GTK_RESPONSE_ACCEPT);

    /* A size that fits small screens; without a window manager GTK would
     * otherwise open it wider than the screen. */
    gtk_window_set_default_size(GTK_WINDOW(dialog), 760, 520);
    g_signal_connect_after(dialog, "map", G_CALLBACK(fit_on_screen), NULL);
    /* Without a window manager nobody else gives the dialog the focus. */
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_present(GTK_WINDOW(dialog));

    int status = 1;
    while (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        char *path = gtk_file_chooser_get_filename(chooser);
        GtkFileFilter *chosen = gtk_file_chooser_get_filter(chooser);
        int index = 1;
        for (int i = 0; i < filter_count; i++)   /* All Files: the first */
            if (filters[i] == chosen)
                index = i + 1;
        if (path == NULL)
            continue;
        /* The editor adds the extension of a "*.ext" pattern to a name that
         * lacks it; the file it then writes is the one to confirm. */
        char *final_path =
            saving ? with_extension(path, argv[4 + 2 * (index - 1)], argv + 4, filter_count) : g_strdup(path);
        int extended = strcmp(final_path, path) != 0;
        g_free(path);
        if (extended && g_file_test(final_path, G_FILE_TEST_EXISTS) &&
            !confirm_replace(GTK_WINDOW(dialog), final_path)) {
            g_free(final_path);
            continue;
        }
        /* Off the screen before the answer: the editor carries on at once
         * while GTK takes its time to close down. The answer goes out in
         * one write, which the editor takes as complete. */
        gtk_widget_hide(dialog);
        gdk_display_sync(gtk_widget_get_display(dialog));
        printf("%d\n%s\n", index, final_path);
        fflush(stdout);
        g_free(final_path);
        status = 0;
        break;
    }
    gtk_widget_destroy(dialog);
    while (gtk_events_pending())
        gtk_main_iteration();
    return status;
}
