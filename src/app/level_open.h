// Opening a level through the two file dialogs, and closing it.
#pragma once

// The open-level command (File, Open, LEV and Control+O): asks for the level
// file and its palette-list file, reads both, and only then replaces the
// loaded level. A file that cannot be opened or read is reported in a
// message box and the level loaded before stays as it was.
void open_level_command();
// Releases the loaded level, its GL textures and name lists and resets every
// selection of the main screen.
void close_level();
// Hands the name lists to the list boxes and search boxes.
void give_lists_to_widgets();
