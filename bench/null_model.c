/* A model that does nothing but make the two result files its options file names, for
 * measuring what starting a run costs beside the model's own work. It reads the lines
 * "MESSAGE <spaces>: <name>" and "OUTPUT DATA <spaces>: <name>" and opens each name as it is
 * written, relative to the current directory. */
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

/* The value of LINE when it is KEY, spaces, ':' and spaces; NULL otherwise. */
static char* value_of(char* line, const char* key) {
    size_t n = strlen(key);
    if (strncmp(line, key, n) != 0)
        return NULL;
    line += n;
    while (*line == ' ')
        ++line;
    if (*line != ':')
        return NULL;
    ++line;
    while (*line == ' ')
        ++line;
    line[strcspn(line, "\r\n")] = '\0';
    return line;
}

static void make_empty(const char* name) {
    int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd >= 0)
        close(fd);
}

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    FILE* in = fopen(argv[1], "r");
    if (!in)
        return 2;
    char line[4096];
    while (fgets(line, sizeof line, in)) {
        char* name = value_of(line, "MESSAGE");
        if (!name)
            name = value_of(line, "OUTPUT DATA");
        if (name)
            make_empty(name);
    }
    fclose(in);
    return 0;
}
