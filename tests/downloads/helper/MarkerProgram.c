/* A native program for the launch tests: writes the folder it was started in
   to "ran.marker" in that folder. */
#include <stdio.h>
#include <unistd.h>

int main (void)
{
    char folder[4096];

    if (getcwd (folder, sizeof (folder)) == NULL)
        return 1;

    FILE* out = fopen ("ran.marker.part", "w");

    if (out == NULL)
        return 1;

    fputs (folder, out);
    fclose (out);
    return rename ("ran.marker.part", "ran.marker") == 0 ? 0 : 1;
}
