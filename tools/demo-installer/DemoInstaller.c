// Installer of a demo product on Windows. Beside it, the text file of the same name with
// ".txt" lists what to install, one line per file: the file's path relative to the
// installer's folder, a tab, and the absolute path to copy it to. Exits with 0 when every
// file was copied.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define PATH_CHARS 4096

// Makes every folder above the file's path.
static void createParentFolders (const wchar_t* path)
{
    wchar_t folder[PATH_CHARS];
    size_t i;

    for (i = 0; path[i] != 0 && i + 1 < PATH_CHARS; ++i)
    {
        if (i > 2 && path[i] == L'\\')
        {
            folder[i] = 0;
            CreateDirectoryW (folder, NULL);
        }

        folder[i] = path[i];
    }
}

static int toWide (const char* text, wchar_t* out)
{
    return MultiByteToWideChar (CP_UTF8, 0, text, -1, out, PATH_CHARS) > 0;
}

static char* readManifest (const wchar_t* path)
{
    HANDLE file = CreateFileW (path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    DWORD size, bytesRead = 0;
    char* text;

    if (file == INVALID_HANDLE_VALUE)
        return NULL;

    size = GetFileSize (file, NULL);
    text = size == INVALID_FILE_SIZE ? NULL : (char*) calloc ((size_t) size + 1, 1);

    if (text != NULL && ! ReadFile (file, text, size, &bytesRead, NULL))
    {
        free (text);
        text = NULL;
    }

    CloseHandle (file);
    return text;
}

int main (void)
{
    wchar_t self[PATH_CHARS], manifestPath[PATH_CHARS], folder[PATH_CHARS];
    wchar_t source[PATH_CHARS], target[PATH_CHARS], relative[PATH_CHARS];
    DWORD length = GetModuleFileNameW (NULL, self, PATH_CHARS);
    wchar_t *lastSlash, *dot;
    char *text, *line, *next;
    int copied = 0, failed = 0;

    if (length == 0 || length >= PATH_CHARS)
        return 1;

    wcscpy (manifestPath, self);
    dot = wcsrchr (manifestPath, L'.');

    if (dot == NULL || (size_t) (dot - manifestPath) + 5 > PATH_CHARS)
        return 1;

    wcscpy (dot, L".txt");

    wcscpy (folder, self);
    lastSlash = wcsrchr (folder, L'\\');

    if (lastSlash == NULL)
        return 1;

    lastSlash[1] = 0;

    text = readManifest (manifestPath);

    if (text == NULL)
    {
        fprintf (stderr, "No list of files to install beside the installer.\n");
        return 1;
    }

    for (line = text; line != NULL && *line != 0; line = next)
    {
        char* tab;
        wchar_t* c;

        next = strchr (line, '\n');

        if (next != NULL)
            *next++ = 0;

        line[strcspn (line, "\r")] = 0;
        tab = strchr (line, '\t');

        if (tab == NULL)
            continue;

        *tab = 0;

        if (! toWide (line, relative) || ! toWide (tab + 1, target)
            || wcslen (folder) + wcslen (relative) >= PATH_CHARS)
        {
            ++failed;
            continue;
        }

        wcscpy (source, folder);
        wcscat (source, relative);

        for (c = source; *c != 0; ++c)
            if (*c == L'/')
                *c = L'\\';

        for (c = target; *c != 0; ++c)
            if (*c == L'/')
                *c = L'\\';

        createParentFolders (target);

        if (CopyFileW (source, target, FALSE))
            ++copied;
        else
            ++failed;
    }

    free (text);

    if (failed > 0 || copied == 0)
    {
        fprintf (stderr, "Installed %d file(s), %d failed.\n", copied, failed);
        return 1;
    }

    printf ("Installed %d file(s).\n", copied);
    return 0;
}
