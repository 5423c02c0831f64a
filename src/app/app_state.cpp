// Storage for the process-wide application state.
#include "app/app_state.h"

level *current_level = nullptr;
settings *current_settings = nullptr;
gl_texture_set *current_textures = nullptr;

volatile int tick_counter = 0;
volatile bool flash_phase = false;
bool level_changed = false;
int quit_requested = 0;
bool show_event_model = false;
int selected_model = -1;
int selected_event_model = -1;
int flash_page = -1;

char level_path[LEVEL_PATH_SIZE];
char d3d_path[LEVEL_PATH_SIZE];
char level_folder[LEVEL_PATH_SIZE];

const char *const WINDOW_TITLE = "Quarly Texture Editor 2.0";
const char *const CHANGED_WINDOW_TITLE = "*Quarly Texture Editor 2.0";
