// The editor's entry point: everything else lives in the library.
#include <allegro.h>

#include "app/editor.h"

int main()
{
    return run_editor();
}
END_OF_MAIN()
