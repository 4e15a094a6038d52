/* Reads one path a line from standard input and prints its long form: the test's
   way back from the scan's 8.3 paths to the names on disk. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

int main(void)
{
    char line[MAX_PATH * 2];
    while (fgets(line, sizeof line, stdin))
    {
        char longPath[MAX_PATH * 2];
        line[strcspn(line, "\r\n")] = '\0';
        if (!GetLongPathNameA(line, longPath, sizeof longPath))
            strcpy(longPath, line);
        printf("%s\n", longPath);
    }
    return 0;
}
