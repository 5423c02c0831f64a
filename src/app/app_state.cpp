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

const char *const WINDOW_TITLE = "Quarly Texture Editor 2.0";
const char *const CHANGED_WINDOW_TITLE = "*Quarly Texture Editor 2.0";
