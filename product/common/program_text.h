// Text helpers both product programs use: bounded formatting, file names,
// the one command-line argument and files beside the program.
#pragma once

#include <windows.h>
#include <stdarg.h>
#include <stdio.h>

static inline void FormatText(char* buffer, int capacity, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    // msvcrt's _vsnprintf leaves a full buffer unterminated.
    _vsnprintf(buffer, capacity - 1, format, args);
    buffer[capacity - 1] = 0;
    va_end(args);
}

static inline const char* FileNamePart(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    return name;
}

// The one argument, quoted or not, without surrounding blanks; empty when
// there is none.
static inline void TakeArgument(const char* commandLine, char* path, int capacity)
{
    while (*commandLine == ' ' || *commandLine == '\t')
        commandLine++;
    char end = 0;
    if (*commandLine == '"') {
        end = '"';
        commandLine++;
    }
    int length = 0;
    while (commandLine[length] && commandLine[length] != end && length < capacity - 1) {
        path[length] = commandLine[length];
        length++;
    }
    while (length > 0 && (path[length - 1] == ' ' || path[length - 1] == '\t'))
        length--;
    path[length] = 0;
}

// The full path of name in the program's own folder (MAX_PATH buffer).
static inline void FileBesideProgram(const char* name, char* path)
{
    DWORD size = GetModuleFileNameA(NULL, path, MAX_PATH);
    if (size == 0 || size >= MAX_PATH)
        size = 0;
    path[size] = 0;
    char* namePart = (char*)FileNamePart(path);
    lstrcpynA(namePart, name, (int)(path + MAX_PATH - namePart));
}
