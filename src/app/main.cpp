// The editor's entry point.
#include <allegro.h>

#include <stdio.h>

int main()
{
    printf("Quarly Texture Editor 2.0: the window is not built yet.\n");
    return 0;
}
END_OF_MAIN()
